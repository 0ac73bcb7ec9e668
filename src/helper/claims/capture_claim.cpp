#include "helper/claims/capture_claim.h"

#include <ctime>
#include <optional>

#include "helper/capture_ends/capture_ends.h"
#include "helper/capture_files/capture_file.h"
#include "helper/claims/capture_room.h"
#include "helper/retention/retention.h"
#include "shared/transaction.h"

namespace {

constexpr Message kFailed = Message::kLedgerUnavailable;

LedgerEntry ClaimOf(const std::string& mac, const Caller& caller, const CaptureSettings& settings,
                    const std::string& file) {
  LedgerEntry entry;
  entry.mac = mac;
  entry.file = file;
  entry.loop = settings.loop ? 1 : 0;
  entry.count = settings.count;
  entry.size = static_cast<int64_t>(settings.size);
  entry.duration = settings.duration;
  entry.inlineMode = settings.inlineMode ? 1 : 0;
  entry.slicing = settings.slicing ? settings.sliceBytes : 0;
  entry.state = "starting";
  entry.started = time(nullptr);
  entry.startedBy = ShownUser(caller);
  entry.startedFrom = ShownAddress(caller);
  return entry;
}

// Inside the claim's transaction: settles the claims that stand in the way,
// and those that have ended since, which the policy's room no longer holds
// for them. This device is idle (the caller checked); every other device's
// claim is asked of its device. Fails with why the claim cannot be made.
Status SettleClaimsOn(sqlite3* ledger, const std::string& mac, const std::string& file) {
  std::vector<LedgerEntry> active;
  if (Status read = ActiveCaptures(ledger, nullptr, active); !read.ok()) return read;
  for (const LedgerEntry& entry : active) {
    const bool mine = entry.mac == mac;
    const bool inTheWay = mine || SameFile(entry.file, file);
    // An end noticed only for the room waits for the daemon's error figure.
    const EndError end = inTheWay ? EndError::kTakeNow : EndError::kAwait;
    Settled settled = Settled::kActive;
    if (Status written = SettleCapture(
            ledger, entry, mine ? DeviceNow::kIdle : DeviceStateOf(entry.mac), end, settled);
        !written.ok()) {
      return written;
    }
    if (settled == Settled::kActive && inTheWay) {
      return Failed(Message::kFileInUse, "the ledger's capture " + std::to_string(entry.id) +
                                             " of device " + entry.mac + " still writes " +
                                             entry.file);
    }
  }
  return {};
}

// Renames data already in `file` aside and points its entry, if the ledger
// has one, at the new name. `kept` is the new name, empty when nothing was
// renamed.
Status KeepEarlierData(sqlite3* ledger, const std::string& file, std::string& kept) {
  std::optional<LedgerEntry> earlier;
  if (Status read = LatestCaptureOf(ledger, file, earlier); !read.ok()) return read;
  const std::optional<std::string> renamed =
      KeepEarlierCapture(file, earlier ? earlier->started : -1);
  if (!renamed) return Failed(Message::kCannotKeepEarlierFile);
  kept = *renamed;
  if (earlier && !kept.empty()) return RecordRename(ledger, earlier->id, kept);
  return {};
}

// Gives the capture no more than the room the policy leaves it.
Status FitToRoom(sqlite3* ledger, CaptureSettings& settings, LedgerEntry& claim) {
  CaptureRoom room;
  if (Status read = RoomFor(ledger, FolderOf(claim.file), room); !read.ok()) return read;
  if (!room.limited) return {};
  if (room.bytes < room.least || room.bytes == 0) {
    return Failed(Message::kNoRoom, "the storage policy leaves " + std::to_string(room.bytes) +
                                        " bytes for " + claim.file);
  }
  const auto bytes = static_cast<uint64_t>(room.bytes);
  if (settings.size != 0 && settings.size <= bytes) return {};
  settings.size = bytes;
  claim.size = room.bytes;
  claim.policySize = true;
  return {};
}

}  // namespace

Status ClaimCaptureFile(sqlite3* ledger, const std::string& mac, const Caller& caller,
                        CaptureSettings& settings, LedgerEntry& claim) {
  claim = ClaimOf(mac, caller, settings, CanonicalCapturePath(settings.destination));
  const std::string& file = claim.file;
  std::string kept;
  // The write lock is taken at once: what is checked stays true until the
  // claim is committed.
  Status outcome = InTransaction(ledger, TransactionStep::kBeginWrite, kFailed, [&] {
    Status step = SettleClaimsOn(ledger, mac, file);
    if (step.ok()) step = FitToRoom(ledger, settings, claim);
    if (step.ok()) step = KeepEarlierData(ledger, file, kept);
    if (step.ok()) step = RecordCapture(ledger, claim, claim.id);
    return step;
  });
  if (outcome.ok()) return outcome;
  // The entry still names the old path: so must the disk.
  if (!kept.empty() && !RestoreEarlierCapture(kept, file)) {
    outcome.cause += "; the earlier capture stays at " + kept + ", its entry names " + file;
  }
  return outcome;
}

Status CompleteClaim(sqlite3* ledger, const LedgerEntry& claim, bool started) {
  if (!started) return RecordEnd(ledger, claim.id, {"failed", time(nullptr), "", "", 0, {}});
  Settled settled = Settled::kActive;
  return SettleCapture(ledger, claim, DeviceNow::kCapturing, EndError::kTakeNow, settled);
}
