#include "helper/capture/start_ledger.h"

#include <ctime>
#include <optional>

#include "helper/capture/capture_file.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/request_identity.h"
#include "helper/ledger/capture_ends.h"
#include "helper/ledger/ledger_store.h"
#include "helper/ledger/records_db.h"

namespace {

// The ledger's failure, for the log; the answer is kLedgerUnavailable.
const char* Unavailable(sqlite3* ledger) {
  RecordSqliteFailure(ledger, RecordsDatabasePath().c_str());
  return kLedgerUnavailable;
}

LedgerEntry ClaimOf(const std::string& mac, const CaptureSettings& settings,
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
  entry.startedBy = RequestUser();
  entry.startedFrom = RequestAddress();
  return entry;
}

// Inside the claim's transaction: settles the claims that stand in the way.
// This device is idle (the caller checked); another device's claim on the
// same file is asked of its device. Null, or why the claim cannot be made.
const char* SettleClaimsOn(sqlite3* ledger, const std::string& mac, const std::string& file) {
  const std::optional<std::vector<LedgerEntry>> active = ActiveCaptures(ledger, nullptr);
  if (!active) return Unavailable(ledger);
  for (const LedgerEntry& entry : *active) {
    const bool mine = entry.mac == mac;
    if (!mine && !SameFile(entry.file, file)) continue;
    switch (SettleCapture(ledger, entry, mine ? DeviceNow::kIdle : DeviceStateOf(entry.mac))) {
      case Settled::kNotWritten:
        return Unavailable(ledger);
      case Settled::kActive:
        RecordFailureCause("the ledger's capture " + std::to_string(entry.id) + " of device " +
                           entry.mac + " still writes " + entry.file);
        return "Capture file is in use by another device";
      case Settled::kEnded:
        break;
    }
  }
  return nullptr;
}

// Renames data already in `file` aside and points its entry, if the ledger
// has one, at the new name. `kept` is the new name, empty when nothing was
// renamed.
const char* KeepEarlierData(sqlite3* ledger, const std::string& file, std::string& kept) {
  bool readable = false;
  const std::optional<LedgerEntry> earlier = LatestCaptureOf(ledger, file, readable);
  if (!readable) return Unavailable(ledger);
  const std::optional<std::string> renamed =
      KeepEarlierCapture(file, earlier ? earlier->started : -1);
  if (!renamed) return "Failed to keep the earlier capture file";
  kept = *renamed;
  if (earlier && !kept.empty() && !RecordRename(ledger, earlier->id, kept)) {
    return Unavailable(ledger);
  }
  return nullptr;
}

}  // namespace

const char* OpenClaimLedger(Connection& ledger) {
  OpenFailure failure;
  ledger = OpenRecords(DatabaseUse::kWriter, failure);
  if (ledger) return nullptr;
  RecordSqliteOpenFailure(RecordsDatabasePath().c_str(), failure.code, failure.systemErrno);
  return kLedgerUnavailable;
}

const char* ClaimCaptureFile(sqlite3* ledger, const std::string& mac,
                             const CaptureSettings& settings, LedgerEntry& claim) {
  // The write lock is taken at once: what is checked stays true until the
  // claim is committed.
  if (!Execute(ledger, "BEGIN IMMEDIATE")) return Unavailable(ledger);
  claim = ClaimOf(mac, settings, CanonicalCapturePath(settings.destination));
  const std::string& file = claim.file;
  std::string kept;
  const char* failure = SettleClaimsOn(ledger, mac, file);
  if (failure == nullptr) failure = KeepEarlierData(ledger, file, kept);
  if (failure == nullptr) {
    claim.id = RecordCapture(ledger, claim);
    if (claim.id < 0) failure = Unavailable(ledger);
  }
  if (failure == nullptr && !Execute(ledger, "COMMIT")) failure = Unavailable(ledger);
  if (failure == nullptr) return nullptr;
  Execute(ledger, "ROLLBACK");
  // The entry still names the old path: so must the disk.
  if (!kept.empty() && !RestoreEarlierCapture(kept, file)) {
    RecordFailureCause("the earlier capture stays at " + kept + ", its entry names " + file);
  }
  return failure;
}

void CompleteClaim(sqlite3* ledger, const LedgerEntry& claim, bool started) {
  if (started) {
    SettleCapture(ledger, claim, DeviceNow::kCapturing);
  } else {
    RecordEnd(ledger, claim.id, {"failed", time(nullptr), "", "", 0, {}});
  }
}
