#include "helper/status/capture_row.h"

#include "shared/statement.h"

namespace {

constexpr char kCaptureQuery[] =
    "SELECT status, error, cacheused, maxcache, written, dropped FROM capture WHERE device = ?";

}  // namespace

Status PrepareCaptureQuery(sqlite3* db, Statement& statement) {
  return Prepare(db, kCaptureQuery, Message::kFailedDeviceCaptureStatus, statement);
}

Status StepCaptureRow(sqlite3_stmt* statement, int64_t deviceId, std::optional<CaptureRow>& row) {
  row.reset();
  sqlite3_reset(statement);
  if (Status bound = Bind(statement, Message::kFailedDeviceCaptureStatus, deviceId); !bound.ok()) {
    return bound;
  }
  bool found = false;
  if (Status read = Step(statement, Message::kFailedDeviceStatus, found); !read.ok() || !found) {
    return read;
  }
  row.emplace();
  for (int column = 0; column < kCaptureColumns; ++column) {
    row->values[column] = sqlite3_column_int64(statement, column);
  }
  return {};
}

Status ReadCaptureRow(sqlite3* db, int64_t deviceId, std::optional<CaptureRow>& row) {
  Statement statement;
  if (Status prepared = PrepareCaptureQuery(db, statement); !prepared.ok()) return prepared;
  return StepCaptureRow(statement.get(), deviceId, row);
}
