#include "helper/metrics/device_figures.h"

#include "helper/frontend/database_failure.h"
#include "helper/frontend/memory_budget.h"
#include "shared/sqlite_handles.h"

namespace {

constexpr char kDeviceQuery[] = "SELECT id, mac, model FROM device WHERE id >= 0 ORDER BY id";

// The fallback stands for SQL NULL, never for SQLite running out of memory.
std::string ColumnText(sqlite3_stmt* row, int column, const char* fallback) {
  const unsigned char* text = sqlite3_column_text(row, column);
  if (text == nullptr) ThrowIfOutOfMemory(nullptr, sqlite3_errcode(sqlite3_db_handle(row)));
  return text != nullptr ? reinterpret_cast<const char*>(text) : fallback;
}

// The statements read for every device, each prepared once: preparing is
// most of what a statement costs here.
struct FigureQueries {
  Statement capture;
  Statement newest[kStatsVersions];
};

// The newest sample of `table` for the device, or the table's failure.
Status ReadNewest(sqlite3_stmt* statement, const StatsTable& table, int64_t deviceId,
                  NewestSample& sample) {
  sqlite3_reset(statement);
  if (sqlite3_bind_int64(statement, 1, deviceId) != SQLITE_OK) return Failed(table.failure);
  const int rc = sqlite3_step(statement);
  if (rc == SQLITE_DONE) return {};
  if (rc != SQLITE_ROW) return Failed(table.failure);
  uint64_t columns[kMaxStatsColumns];
  ReadStatsColumns(statement, table, columns);
  for (size_t s = 0; s < table.series.size(); ++s) {
    sample.series[s] = EvaluateSeries(table.series[s], columns);
  }
  sample.present = true;
  return {};
}

Status ReadFigures(FigureQueries& queries, int64_t deviceId, DeviceFigures& device) {
  if (Status read = StepCaptureRow(queries.capture.get(), deviceId, device.capture); !read.ok()) {
    return read;
  }
  for (int version = 0; version < kStatsVersions; ++version) {
    Status read = ReadNewest(queries.newest[version].get(), StatsTableOf(version), deviceId,
                             device.samples[version]);
    if (!read.ok()) return read;
  }
  return {};
}

// Fails with the message of the query that cannot be prepared, in the order
// the status command meets them.
Status PrepareQueries(sqlite3* db, FigureQueries& queries) {
  queries.capture.reset(PrepareCaptureQuery(db));
  if (!queries.capture) return Failed(Message::kFailedDeviceCaptureStatus);
  for (int version = 0; version < kStatsVersions; ++version) {
    queries.newest[version] = Prepare(db, StatsTableOf(version).newest);
    if (!queries.newest[version]) return Failed(StatsTableOf(version).failure);
  }
  return {};
}

}  // namespace

const StatsTable& StatsTableOf(int version) { return version == 0 ? kStatsV1 : kStatsV2; }

Status ReadDeviceFigures(sqlite3* db, std::vector<DeviceFigures>& devices) {
  // The device rows are read whole first.
  std::vector<int64_t> ids;
  {
    Statement statement = Prepare(db, kDeviceQuery);
    if (!statement) return Failed(Message::kFailedDevices);
    int rc;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
      DeviceFigures& device = devices.emplace_back();
      device.mac = ColumnText(statement.get(), 1, "");
      device.model = ColumnText(statement.get(), 2, "Unknown");
      ChargeAnswerBytes(sizeof device + device.mac.size() + device.model.size());
      ids.push_back(sqlite3_column_int64(statement.get(), 0));
    }
    if (rc != SQLITE_DONE) return Failed(Message::kFailedDevices);
  }
  if (ids.empty()) return {};
  FigureQueries queries;
  if (Status prepared = PrepareQueries(db, queries); !prepared.ok()) return prepared;
  for (size_t i = 0; i < ids.size(); ++i) {
    if (Status read = ReadFigures(queries, ids[i], devices[i]); !read.ok()) return read;
  }
  return {};
}
