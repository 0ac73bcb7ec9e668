#include "helper/ledger/capture_removal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "helper/ledger/no_link_open.h"

namespace {

// The capture file's folder, opened without following any link, and its
// name in it.
struct FileInFolder {
  int folder = -1;
  std::string name;

  explicit FileInFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    folder = OpenWithoutLinks(dir);
  }
  FileInFolder(const FileInFolder&) = delete;
  FileInFolder& operator=(const FileInFolder&) = delete;
  ~FileInFolder() {
    if (folder >= 0) close(folder);
  }

  // Whether the name holds the entry's own file (not a link), and the bytes
  // unlinking it frees: none while another name links it.
  bool HoldsFileOf(const LedgerEntry& entry, int64_t& freed) const {
    struct stat info {};
    if (folder < 0 || fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !IsFileOf(entry, info)) {
      return false;
    }
    freed = info.st_nlink > 1 ? 0 : static_cast<int64_t>(info.st_size);
    return true;
  }

  // Unlinks the entry's file, checked once more just before. 0 once the
  // name no longer holds it, else unlink's errno.
  int UnlinkFileOf(const LedgerEntry& entry) const {
    int64_t freed = 0;
    if (!HoldsFileOf(entry, freed) || unlinkat(folder, name.c_str(), 0) == 0) return 0;
    return errno;
  }
};

// Unlinks the file of `entry`, recorded "deleted", and then clears its
// identity; a file that cannot be unlinked keeps it. 0 once the file is
// gone, else unlink's errno.
int FinishRemoval(sqlite3* ledger, const FileInFolder& file, const LedgerEntry& entry) {
  const int error = file.UnlinkFileOf(entry);
  if (error == 0) RecordUnlinked(ledger, entry.id);
  return error;
}

bool InTransaction(sqlite3* ledger, bool written) {
  if (written && Execute(ledger, "COMMIT")) return true;
  Execute(ledger, "ROLLBACK");
  return false;
}

}  // namespace

RemovalResult RemoveCaptureFile(sqlite3* ledger, const LedgerEntry& entry, RemovalReason reason,
                                const std::string& by) {
  const FileInFolder file(entry.file);
  int64_t freed = 0;
  RemovalResult result;
  result.missing = !file.HoldsFileOf(entry, freed);
  if (result.missing && reason != RemovalReason::kDelete) {
    result.recorded = RecordMissing(ledger, entry.id);
    return result;
  }
  bool written = Execute(ledger, "BEGIN IMMEDIATE") &&
                 RecordRemoval(ledger, entry.id, {time(nullptr), by, freed});
  if (!result.missing) written = written && CountRemoval(ledger, reason, freed);
  result.recorded = InTransaction(ledger, written);
  if (!result.recorded) return result;
  // From here the ledger says "deleted": a process killed before the unlink
  // leaves the file to ReconcileRemovals.
  result.unlinkError = FinishRemoval(ledger, file, entry);
  if (result.unlinkError == 0) {
    result.freed = freed;
    return result;
  }
  // The file stays, and so does the capture: the ledger says so again,
  // unless it refuses, when the removal stays pending for the next pass.
  written = Execute(ledger, "BEGIN IMMEDIATE") && UndoRemoval(ledger, entry) &&
            CountRemoval(ledger, reason, -freed, -1);
  InTransaction(ledger, written);
  return result;
}

bool ReconcileRemovals(sqlite3* ledger) {
  const std::optional<std::vector<LedgerEntry>> pending = PendingRemovals(ledger);
  const std::optional<std::vector<LedgerEntry>> kept = KeptCaptures(ledger);
  if (!pending || !kept) return false;
  for (const LedgerEntry& entry : *pending) FinishRemoval(ledger, FileInFolder(entry.file), entry);
  for (const LedgerEntry& entry : *kept) {
    int64_t freed = 0;
    if (!FileInFolder(entry.file).HoldsFileOf(entry, freed)) RecordMissing(ledger, entry.id);
  }
  return true;
}
