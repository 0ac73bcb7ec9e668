#include "helper/capture_ends/capture_ends.h"

#include <algorithm>
#include <ctime>

#include "helper/capture_ends/packet_times.h"
#include "helper/capture_files/file_identity.h"
#include "helper/ledger/ledger_store.h"
#include "helper/lock/change_lock.h"
#include "helper/records_db/records_db.h"
#include "helper/retention/retention.h"
#include "shared/device_library.h"
#include "shared/discovery.h"
#include "shared/paths.h"
#include "shared/status_db.h"

namespace {

// The status daemon keeps the capture's error figure; 0 when it has none.
int64_t StoredError(const std::string& mac) {
  StoredCapture stored;
  // A row that cannot be read tells no error, as a missing one.
  static_cast<void>(ReadStoredCapture(program_paths.statusDb, mac.c_str(), stored));
  return stored.error;
}

// The daemon's row still shows the capture running although the device is
// idle: its next round, a second or so away, brings the error figure the
// capture ended with (a full disk, say), which nothing else tells. The
// ledger waits for it, but never longer than kQuietSecondsBeforeGone after
// the file's last write, so that a stopped daemon delays the end only so
// long.
bool DaemonBehind(const LedgerEntry& entry, const FileIdentity& file, int64_t now) {
  const int64_t lastWrite = file.modified >= 0 ? file.modified / 1000000000 : entry.started;
  if (now - lastWrite >= kQuietSecondsBeforeGone) return false;
  StoredCapture stored;
  // A row that cannot be read shows no capture running: the end stands.
  static_cast<void>(ReadStoredCapture(program_paths.statusDb, entry.mac.c_str(), stored));
  return stored.running;
}

// The file as the capture left it. The device may have replaced it while
// looping; otherwise a file of another inode at the path is not the
// capture's, which keeps only the inode it was started with.
FileIdentity EndIdentity(const LedgerEntry& entry) {
  const std::optional<FileIdentity> now = RegularFileAt(entry.file);
  const FileIdentity& recorded = entry.identity;
  if (now && (!IsKnown(recorded) || entry.loop != 0 ||
              (now->device == recorded.device && now->inode == recorded.inode))) {
    return *now;
  }
  return InodeOf(recorded);
}

// When a capture that ended by itself ended: its file's last write, which
// the device makes as the capture ends, not the moment a request noticed
// it; between its start and now, whatever the file's clock says. Now when
// the file is not there to tell.
int64_t EndOf(const LedgerEntry& entry, const FileIdentity& file, int64_t now) {
  if (file.modified < 0) return now;
  return std::clamp<int64_t>(file.modified / 1000000000, entry.started, now);
}

// Who stopped a capture, and from where; empty for an end by itself.
struct StoppedBy {
  std::string user;
  std::string address;
};

// The end of `entry` as `state` at `ended`, with the daemon's error figure
// and the packet times its file holds now.
CaptureEnd EndWithPackets(const LedgerEntry& entry, const char* state, int64_t ended,
                          const StoppedBy& by, const FileIdentity& identity) {
  const PacketTimes packets = PacketTimesOf(entry.file);
  return {state,    ended,         by.user,     by.address, StoredError(entry.mac),
          identity, packets.first, packets.last};
}

}  // namespace

Status SettleCapture(sqlite3* ledger, const LedgerEntry& entry, DeviceNow device, EndError endError,
                     Settled& settled) {
  const int64_t now = time(nullptr);
  settled = Settled::kActive;
  switch (device) {
    case DeviceNow::kUnknown:
      return {};
    case DeviceNow::kCapturing: {
      if (entry.state != "starting") return {};
      const std::optional<FileIdentity> file = RegularFileAt(entry.file);
      return RecordEnd(ledger, entry.id,
                       {"running", 0, "", "", 0, file ? InodeOf(*file) : FileIdentity{}});
    }
    case DeviceNow::kIdle: {
      const FileIdentity identity = EndIdentity(entry);
      // A claim whose device never wrote leaves no file of its own.
      const bool failed = entry.state == "starting" && identity.size <= 0;
      if (!failed && endError == EndError::kAwait && DaemonBehind(entry, identity, now)) {
        return {};
      }
      settled = Settled::kEnded;
      return failed ? RecordEnd(ledger, entry.id, {"failed", now, "", "", 0, {}})
                    : RecordEnd(ledger, entry.id,
                                EndWithPackets(entry, "ended", EndOf(entry, identity, now), {},
                                               identity));
    }
    case DeviceNow::kGone: {
      const std::optional<FileIdentity> file = RegularFileAt(entry.file);
      const int64_t quietSince = file ? file->modified / 1000000000 : 0;
      if (now - quietSince < kQuietSecondsBeforeGone) return {};
      settled = Settled::kEnded;
      return RecordEnd(
          ledger, entry.id,
          EndWithPackets(entry, "gone", file ? quietSince : now, {}, EndIdentity(entry)));
    }
  }
  return {};
}

Status NoteCapturesStopped(sqlite3* ledger, const std::string& mac, const std::string& user,
                           const std::string& address) {
  std::vector<LedgerEntry> active;
  if (Status read = ActiveCaptures(ledger, mac.c_str(), active); !read.ok()) return read;
  // Each claim is noted apart; the first refusal is the outcome.
  Status noted;
  for (const LedgerEntry& entry : active) {
    Status written = RecordEnd(
        ledger, entry.id,
        EndWithPackets(entry, "stopped", time(nullptr), {user, address}, EndIdentity(entry)));
    if (noted.ok()) noted = std::move(written);
  }
  return noted;
}

Status NoteEndedCaptures() {
  // The records database is made or brought up to date here, so that the
  // commands after this step only read.
  Connection ledger;
  if (Status opened = OpenRecords(DatabaseUse::kWriter, ledger); !opened.ok()) return opened;
  std::vector<LedgerEntry> active;
  if (Status read = ActiveCaptures(ledger.get(), nullptr, active); !read.ok()) return read;
  if (active.empty()) return {};
  // A start or stop under way settles the claims itself.
  ChangeLock lock;
  if (!LockChanges(lock, program_paths.lockFile, 0).ok()) return {};
  PrepareDevices();
  if (DeviceLibraryFailure() != nullptr) return {};
  // Each claim is settled apart; the first refusal is the outcome.
  Status noted;
  bool ended = false;
  for (const LedgerEntry& entry : active) {
    Settled settled = Settled::kActive;
    Status written =
        SettleCapture(ledger.get(), entry, DeviceStateOf(entry.mac), EndError::kAwait, settled);
    ended = ended || (written.ok() && settled == Settled::kEnded);
    if (noted.ok()) noted = std::move(written);
  }
  // What an ended capture left may be more than the policy allows.
  PruneReport report;
  if (ended) {
    Status kept = KeepWithinPolicy(ledger.get(), {}, false, report);
    if (noted.ok()) noted = std::move(kept);
  }
  return noted;
}
