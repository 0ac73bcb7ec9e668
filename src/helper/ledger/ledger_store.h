// The capture ledger: table `captures` of the records database, one row for
// every start that claimed its file, whatever came of it, and how that
// capture ended. Every operation runs one statement on a connection the
// caller opened with OpenRecords; rows are only written by requests that
// hold the change lock, so no two writers race on a device's claims.
#ifndef VELORANTIS_HELPER_LEDGER_LEDGER_STORE_H_
#define VELORANTIS_HELPER_LEDGER_LEDGER_STORE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "helper/capture_files/file_identity.h"
#include "shared/sqlite_handles.h"
#include "shared/status.h"

// The newest rows the ledger keeps; older ones that no longer claim a file go.
inline constexpr int64_t kLedgerRows = 1000;

// One row. `size` is in bytes, as the configuration row keeps it.
struct LedgerEntry {
  int64_t id = 0;
  std::string mac;   // MAC text
  std::string file;  // the capture file's path now
  int64_t loop = 0;
  int64_t count = 0;
  int64_t size = 0;
  int64_t duration = 0;
  int64_t inlineMode = 0;
  int64_t slicing = 0;
  // "starting", "running", "stopped", "ended", "gone", "failed", "deleted"
  // or "missing"
  std::string state;
  int64_t started = 0;
  std::string startedBy;
  std::string startedFrom;
  int64_t ended = 0;  // 0 while running
  std::string stoppedBy;
  std::string stoppedFrom;
  int64_t error = 0;
  FileIdentity identity;
  bool pinned = false;
  int64_t deleted = 0;  // when its file was removed ("deleted")
  std::string deletedBy;
  int64_t freed = 0;  // bytes the removal freed
  // The first and last packets' times, Unix nanoseconds, as recorded when
  // the capture ended; -1: not known (running, no packet, an older entry).
  int64_t firstPacket = -1;
  int64_t lastPacket = -1;
  // Whether the retention policy set `size`: the room it left the capture.
  bool policySize = false;
};

// Whether the entry still claims its file: the device may be writing it.
bool IsActive(const LedgerEntry& entry);

// Whether the entry is an ended capture that left its file ("stopped",
// "ended", "gone"): what the retention policy may remove.
bool HasKeptFile(const LedgerEntry& entry);

// Whether `info` describes the entry's capture file: never for a failed
// start; a regular file with the recorded device and inode (any, while the
// device loops, for it may replace the file), and once the capture has
// ended also its recorded size and time.
bool IsFileOf(const LedgerEntry& entry, const struct stat& info);

// How a claim ended: `state` "running" (the device started; not an end),
// "failed" (it refused), "stopped" (by whom and from where), "ended" (by
// itself: its limits, a full disk, the device) or "gone" (its device was
// unplugged). `identity` is the file's as far as it is known then.
struct CaptureEnd {
  const char* state;
  int64_t ended;
  std::string stoppedBy;
  std::string stoppedFrom;
  int64_t error;
  FileIdentity identity;
  int64_t firstPacket = -1;  // as LedgerEntry's
  int64_t lastPacket = -1;
};

// Every operation fails with kLedgerUnavailable (kNotEnoughMemory when
// memory ran out) and SQLite's cause.

// Inserts `entry` (its id ignored), its new id into `id`, and drops the rows
// without a file ("failed", "missing", and "deleted" once unlinked) that lie
// kLedgerRows or more behind it.
Status RecordCapture(sqlite3* db, const LedgerEntry& entry, int64_t& id);

// Settles entry `id` as `end` says, if it still claims its file ("running"
// only from "starting").
Status RecordEnd(sqlite3* db, int64_t id, const CaptureEnd& end);

// Points entry `id` at the capture file's new path.
Status RecordRename(sqlite3* db, int64_t id, const std::string& file);

// Pins or unpins entry `id`; fails too when there is no such entry.
Status RecordPin(sqlite3* db, int64_t id, bool pinned);

// A file's removal: when, by whom (REMOTE_USER, or "retention"), and the
// bytes it frees.
struct Removal {
  int64_t when;
  std::string by;
  int64_t freed;
};

// Records entry `id`, an ended capture that is not pinned ("missing"
// included), as "deleted" by `removal`; its file identity stays until
// RecordUnlinked. Fails too when the entry is no such capture.
Status RecordRemoval(sqlite3* db, int64_t id, const Removal& removal);

// Takes back the removal recorded for `entry` (as it was before it), whose
// file could not be unlinked.
Status UndoRemoval(sqlite3* db, const LedgerEntry& entry);

// Records entry `id`, an ended capture, as "missing": its file is gone.
Status RecordMissing(sqlite3* db, int64_t id);

// Clears the file identity of entry `id`, once its file is unlinked.
Status RecordUnlinked(sqlite3* db, int64_t id);

// The ended captures that left their files (HasKeptFile), oldest first.
Status KeptCaptures(sqlite3* db, std::vector<LedgerEntry>& entries);

// The removals recorded whose file may still be there, oldest first.
Status PendingRemovals(sqlite3* db, std::vector<LedgerEntry>& entries);

// The entries that claim their files, of device `mac` only unless it is
// null, oldest first.
Status ActiveCaptures(sqlite3* db, const char* mac, std::vector<LedgerEntry>& entries);

// Entry `id` into `entry`; nullopt when there is no such entry.
Status CaptureById(sqlite3* db, int64_t id, std::optional<LedgerEntry>& entry);

// The newest entry whose file is at `file` (not failed, deleted or missing)
// into `entry`; nullopt when there is none.
Status LatestCaptureOf(sqlite3* db, const std::string& file, std::optional<LedgerEntry>& entry);

// Up to `limit` entries, newest first: of device `mac` only unless it is
// null, and with an id below `before` when it is positive.
Status ListCaptures(sqlite3* db, const char* mac, int64_t limit, int64_t before,
                    std::vector<LedgerEntry>& entries);

#endif  // VELORANTIS_HELPER_LEDGER_LEDGER_STORE_H_
