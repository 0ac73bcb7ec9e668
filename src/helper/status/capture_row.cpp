#include "helper/status/capture_row.h"

#include "shared/sqlite_handles.h"

namespace {

constexpr char kCaptureQuery[] =
    "SELECT status, error, cacheused, maxcache, written, dropped FROM capture WHERE device = ?";

}  // namespace

sqlite3_stmt* PrepareCaptureQuery(sqlite3* db) { return Prepare(db, kCaptureQuery).release(); }

Status StepCaptureRow(sqlite3_stmt* statement, int64_t deviceId, std::optional<CaptureRow>& row) {
  row.reset();
  sqlite3_reset(statement);
  if (sqlite3_bind_int64(statement, 1, deviceId) != SQLITE_OK) {
    return Failed(Message::kFailedDeviceCaptureStatus);
  }
  const int rc = sqlite3_step(statement);
  if (rc == SQLITE_DONE) return {};
  if (rc != SQLITE_ROW) return Failed(Message::kFailedDeviceStatus);
  row.emplace();
  for (int column = 0; column < kCaptureColumns; ++column) {
    row->values[column] = sqlite3_column_int64(statement, column);
  }
  return {};
}

Status ReadCaptureRow(sqlite3* db, int64_t deviceId, std::optional<CaptureRow>& row) {
  const Statement statement(PrepareCaptureQuery(db));
  if (!statement) return Failed(Message::kFailedDeviceCaptureStatus);
  return StepCaptureRow(statement.get(), deviceId, row);
}
