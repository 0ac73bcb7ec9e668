#include "helper/status/capture_row.h"

#include "shared/sqlite_handles.h"

namespace {

constexpr char kCaptureQuery[] =
    "SELECT status, error, cacheused, maxcache, written, dropped FROM capture WHERE device = ?";

}  // namespace

CaptureRead ReadCaptureRow(sqlite3* db, int64_t deviceId, CaptureRow& row) {
  Statement statement = Prepare(db, kCaptureQuery);
  if (!statement || sqlite3_bind_int64(statement.get(), 1, deviceId) != SQLITE_OK) {
    return CaptureRead::kCannotPrepare;
  }
  const int rc = sqlite3_step(statement.get());
  if (rc == SQLITE_DONE) return CaptureRead::kNoRow;
  if (rc != SQLITE_ROW) return CaptureRead::kStepFailed;
  for (int column = 0; column < kCaptureColumns; ++column) {
    row.values[column] = sqlite3_column_int64(statement.get(), column);
  }
  return CaptureRead::kRow;
}
