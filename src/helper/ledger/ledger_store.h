// The capture ledger: table `captures` of the configuration database, one row
// for every start that reached a device, whatever came of it, and how that
// capture ended. schema/config.sql creates the table; the program never does.
// Every operation runs one statement on a connection the caller opened with
// OpenLedger; rows are only written by requests that hold the device request
// lock, so no two writers race on a device's running rows.
#ifndef VELORANTIS_HELPER_LEDGER_LEDGER_STORE_H_
#define VELORANTIS_HELPER_LEDGER_LEDGER_STORE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "shared/sqlite_handles.h"

// The newest rows the ledger keeps; older ones that no longer run go.
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
  std::string state;  // "running", "stopped", "ended" or "failed"
  int64_t started = 0;
  std::string startedBy;
  std::string startedFrom;
  int64_t ended = 0;  // 0 while running
  std::string stoppedBy;
  std::string stoppedFrom;
  int64_t error = 0;
};

// How a running capture ended: `state` "stopped" (by whom and from where) or
// "ended" (by itself: its limits, a full disk, the device).
struct CaptureEnd {
  const char* state;
  int64_t ended;
  std::string stoppedBy;
  std::string stoppedFrom;
  int64_t error;
};

// The configuration database at `configDb`, waiting up to two seconds for
// another process's lock. Null when it cannot be opened.
Connection OpenLedger(const char* configDb);

// OpenLedger for a request that mostly reads: it does not checkpoint the
// log as it closes, which takes the database's exclusive lock for a moment
// and fails readers of the configuration that meet it. The writers' own
// connections keep the log checkpointed.
Connection OpenLedgerReader(const char* configDb);

// Inserts `entry` (its id ignored) and drops the rows that are not running
// and lie kLedgerRows or more behind it. Returns the new id, -1 on failure.
int64_t RecordCapture(sqlite3* db, const LedgerEntry& entry);

// Marks entry `id` as ended as `end` says, if it is still running. False on
// failure.
bool RecordEnd(sqlite3* db, int64_t id, const CaptureEnd& end);

// Points entry `id` at the capture file's new path. False on failure.
bool RecordRename(sqlite3* db, int64_t id, const std::string& file);

// The running entries, of device `mac` only unless it is null, oldest first.
// Empty on failure.
std::vector<LedgerEntry> RunningCaptures(sqlite3* db, const char* mac);

// Entry `id` into `entry`. Returns 0 when it is there, 1 when there is no
// such entry, -1 when the ledger cannot be read.
int CaptureById(sqlite3* db, int64_t id, LedgerEntry& entry);

// The newest entry that wrote into `file` (any state but "failed"), if any.
std::optional<LedgerEntry> LatestCaptureOf(sqlite3* db, const std::string& file);

// Up to `limit` entries, newest first: of device `mac` only unless it is
// null, and with an id below `before` when it is positive. Nullopt when the
// ledger cannot be read.
std::optional<std::vector<LedgerEntry>> ListCaptures(sqlite3* db, const char* mac, int64_t limit,
                                                     int64_t before);

#endif  // VELORANTIS_HELPER_LEDGER_LEDGER_STORE_H_
