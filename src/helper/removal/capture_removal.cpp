#include "helper/removal/capture_removal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "helper/capture_files/no_link_open.h"
#include "helper/frontend/failure_log.h"
#include "shared/transaction.h"

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
// identity; a file that cannot be unlinked keeps it. Fails with unlink's
// errno when the file stays.
Status FinishRemoval(sqlite3* ledger, const FileInFolder& file, const LedgerEntry& entry) {
  if (const int error = file.UnlinkFileOf(entry); error != 0) {
    return Failed(Message::kCannotRemoveFile, ErrnoCause("unlink", entry.file.c_str(), error));
  }
  // An identity left recorded keeps the removal pending: the next
  // reconciliation finds its file gone and clears it then.
  static_cast<void>(RecordUnlinked(ledger, entry.id));
  return {};
}

constexpr Message kFailed = Message::kLedgerUnavailable;

}  // namespace

Status RemoveCaptureFile(sqlite3* ledger, const LedgerEntry& entry, RemovalReason reason,
                         const std::string& by, RemovalResult& result) {
  const FileInFolder file(entry.file);
  int64_t freed = 0;
  result = {};
  result.missing = !file.HoldsFileOf(entry, freed);
  if (result.missing && reason != RemovalReason::kDelete) return RecordMissing(ledger, entry.id);
  Status recorded = InTransaction(ledger, TransactionStep::kBeginWrite, kFailed, [&] {
    Status written = RecordRemoval(ledger, entry.id, {time(nullptr), by, freed});
    if (written.ok() && !result.missing) written = CountRemoval(ledger, reason, freed);
    return written;
  });
  if (!recorded.ok()) return recorded;
  // From here the ledger says "deleted": a process killed before the unlink
  // leaves the file to ReconcileRemovals.
  Status unlinked = FinishRemoval(ledger, file, entry);
  if (unlinked.ok()) {
    result.freed = freed;
    return unlinked;
  }
  // The file stays, and so does the capture: the ledger says so again,
  // unless it refuses, when the removal stays pending for the next pass.
  static_cast<void>(InTransaction(ledger, TransactionStep::kBeginWrite, kFailed, [&] {
    Status undone = UndoRemoval(ledger, entry);
    if (undone.ok()) undone = CountRemoval(ledger, reason, -freed, -1);
    return undone;
  }));
  return unlinked;
}

Status ReconcileRemovals(sqlite3* ledger) {
  std::vector<LedgerEntry> pending;
  std::vector<LedgerEntry> kept;
  if (Status read = PendingRemovals(ledger, pending); !read.ok()) return read;
  if (Status read = KeptCaptures(ledger, kept); !read.ok()) return read;
  // A file that stays is tried again by the next pass.
  for (const LedgerEntry& entry : pending) {
    static_cast<void>(FinishRemoval(ledger, FileInFolder(entry.file), entry));
  }
  for (const LedgerEntry& entry : kept) {
    int64_t freed = 0;
    if (FileInFolder(entry.file).HoldsFileOf(entry, freed)) continue;
    // As good as a file that is there: the next pass looks again.
    static_cast<void>(RecordMissing(ledger, entry.id));
  }
  return {};
}
