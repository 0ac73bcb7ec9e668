// A device's capture state as the status database holds it: one row of the
// `capture` table, read by the status and metrics commands.
#ifndef VELORANTIS_HELPER_STATUS_CAPTURE_ROW_H_
#define VELORANTIS_HELPER_STATUS_CAPTURE_ROW_H_

#include <sqlite3.h>

#include <cstdint>
#include <iterator>
#include <optional>

#include "shared/sqlite_handles.h"
#include "shared/status.h"

struct CaptureField {
  const char* key;
  bool isSigned;  // status codes keep their sign; sizes and counts are unsigned
};

// In the order of the query's columns: status, error, cacheused, maxcache,
// written, dropped.
inline constexpr CaptureField kCaptureFields[] = {
    {"status", true},    {"error", true},    {"cacheused", false},
    {"maxcache", false}, {"written", false}, {"dropped", false},
};
inline constexpr int kCaptureColumns = std::size(kCaptureFields);

// The stored values, as SQLite's 64 bits (a NULL reads as 0).
struct CaptureRow {
  int64_t values[kCaptureColumns];
};

// The first capture row of device `deviceId` on `db` into `row`, left empty
// when none is stored. Fails with kFailedDeviceCaptureStatus when the query
// cannot be prepared or bound, kFailedDeviceStatus when reading fails (e.g.
// a lock).
Status ReadCaptureRow(sqlite3* db, int64_t deviceId, std::optional<CaptureRow>& row);

// The capture query prepared on `db` into `statement`, for reading the rows
// of many devices with one statement (StepCaptureRow). Fails as
// ReadCaptureRow does when it cannot be prepared.
Status PrepareCaptureQuery(sqlite3* db, Statement& statement);

// ReadCaptureRow on a statement from PrepareCaptureQuery, which it resets
// first.
Status StepCaptureRow(sqlite3_stmt* statement, int64_t deviceId, std::optional<CaptureRow>& row);

#endif  // VELORANTIS_HELPER_STATUS_CAPTURE_ROW_H_
