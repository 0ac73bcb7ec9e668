#include "helper/capture/start_ledger.h"

#include <ctime>
#include <optional>

#include "helper/capture/capture_file.h"
#include "helper/frontend/database_failure.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/request.h"
#include "helper/ledger/capture_ends.h"
#include "helper/ledger/capture_room.h"
#include "helper/ledger/ledger_store.h"
#include "helper/ledger/records_db.h"
#include "helper/ledger/retention.h"

namespace {

// The ledger's failure, its cause from SQLite.
Status Unavailable(sqlite3* ledger) {
  return Failed(Message::kLedgerUnavailable, SqliteCause(ledger, RecordsDatabasePath().c_str()));
}

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
  const std::optional<std::vector<LedgerEntry>> active = ActiveCaptures(ledger, nullptr);
  if (!active) return Unavailable(ledger);
  for (const LedgerEntry& entry : *active) {
    const bool mine = entry.mac == mac;
    const bool inTheWay = mine || SameFile(entry.file, file);
    // An end noticed only for the room waits for the daemon's error figure.
    const EndError end = inTheWay ? EndError::kTakeNow : EndError::kAwait;
    switch (SettleCapture(ledger, entry, mine ? DeviceNow::kIdle : DeviceStateOf(entry.mac), end)) {
      case Settled::kNotWritten:
        return Unavailable(ledger);
      case Settled::kActive:
        if (!inTheWay) break;
        return Failed(Message::kFileInUse, "the ledger's capture " + std::to_string(entry.id) +
                                               " of device " + entry.mac + " still writes " +
                                               entry.file);
      case Settled::kEnded:
        break;
    }
  }
  return {};
}

// Renames data already in `file` aside and points its entry, if the ledger
// has one, at the new name. `kept` is the new name, empty when nothing was
// renamed.
Status KeepEarlierData(sqlite3* ledger, const std::string& file, std::string& kept) {
  bool readable = false;
  const std::optional<LedgerEntry> earlier = LatestCaptureOf(ledger, file, readable);
  if (!readable) return Unavailable(ledger);
  const std::optional<std::string> renamed =
      KeepEarlierCapture(file, earlier ? earlier->started : -1);
  if (!renamed) return Failed(Message::kCannotKeepEarlierFile);
  kept = *renamed;
  if (earlier && !kept.empty() && !RecordRename(ledger, earlier->id, kept)) {
    return Unavailable(ledger);
  }
  return {};
}

// Gives the capture no more than the room the policy leaves it.
Status FitToRoom(sqlite3* ledger, CaptureSettings& settings, LedgerEntry& claim) {
  const std::optional<CaptureRoom> room = RoomFor(ledger, FolderOf(claim.file));
  if (!room) return Unavailable(ledger);
  if (!room->limited) return {};
  if (room->bytes < room->least || room->bytes == 0) {
    return Failed(Message::kNoRoom, "the storage policy leaves " + std::to_string(room->bytes) +
                                        " bytes for " + claim.file);
  }
  const auto bytes = static_cast<uint64_t>(room->bytes);
  if (settings.size != 0 && settings.size <= bytes) return {};
  settings.size = bytes;
  claim.size = room->bytes;
  claim.policySize = true;
  return {};
}

}  // namespace

Status OpenClaimLedger(Connection& ledger) {
  OpenFailure failure;
  ledger = OpenRecords(DatabaseUse::kWriter, failure);
  if (ledger) return {};
  return OpenFailed(Message::kLedgerUnavailable, RecordsDatabasePath().c_str(), failure);
}

Status ClaimCaptureFile(sqlite3* ledger, const std::string& mac, const Caller& caller,
                        CaptureSettings& settings, LedgerEntry& claim) {
  // The write lock is taken at once: what is checked stays true until the
  // claim is committed.
  if (!Execute(ledger, "BEGIN IMMEDIATE")) return Unavailable(ledger);
  claim = ClaimOf(mac, caller, settings, CanonicalCapturePath(settings.destination));
  const std::string& file = claim.file;
  std::string kept;
  Status outcome = SettleClaimsOn(ledger, mac, file);
  if (outcome.ok()) outcome = FitToRoom(ledger, settings, claim);
  if (outcome.ok()) outcome = KeepEarlierData(ledger, file, kept);
  if (outcome.ok()) {
    claim.id = RecordCapture(ledger, claim);
    if (claim.id < 0) outcome = Unavailable(ledger);
  }
  if (outcome.ok() && !Execute(ledger, "COMMIT")) outcome = Unavailable(ledger);
  if (outcome.ok()) return outcome;
  Execute(ledger, "ROLLBACK");
  // The entry still names the old path: so must the disk.
  if (!kept.empty() && !RestoreEarlierCapture(kept, file)) {
    outcome.cause += "; the earlier capture stays at " + kept + ", its entry names " + file;
  }
  return outcome;
}

void CompleteClaim(sqlite3* ledger, const LedgerEntry& claim, bool started) {
  if (started) {
    SettleCapture(ledger, claim, DeviceNow::kCapturing);
  } else {
    RecordEnd(ledger, claim.id, {"failed", time(nullptr), "", "", 0, {}});
  }
}
