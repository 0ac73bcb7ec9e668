#include "helper/metrics/device_figures.h"

#include "helper/frontend/memory_budget.h"
#include "shared/sqlite_handles.h"

namespace {

constexpr char kDeviceQuery[] = "SELECT id, mac, model FROM device WHERE id >= 0 ORDER BY id";

// The fallback stands for SQL NULL, never for SQLite running out of memory.
std::string ColumnText(sqlite3_stmt* row, int column, const char* fallback) {
  const unsigned char* text = sqlite3_column_text(row, column);
  if (text == nullptr && IsOutOfMemory(nullptr, sqlite3_errcode(sqlite3_db_handle(row)))) {
    ThrowOutOfMemory();
  }
  return text != nullptr ? reinterpret_cast<const char*>(text) : fallback;
}

// The statements read for every device, each prepared once: preparing is
// most of what a statement costs here.
struct FigureQueries {
  Statement capture;
  Statement newest[kStatsVersions];
};

// The newest sample of `table` for the device. Returns null or the table's
// message.
const char* ReadNewest(sqlite3_stmt* statement, const StatsTable& table, int64_t deviceId,
                       NewestSample& sample) {
  sqlite3_reset(statement);
  if (sqlite3_bind_int64(statement, 1, deviceId) != SQLITE_OK) return table.failure;
  const int rc = sqlite3_step(statement);
  if (rc == SQLITE_DONE) return nullptr;
  if (rc != SQLITE_ROW) return table.failure;
  uint64_t columns[kMaxStatsColumns];
  ReadStatsColumns(statement, table, columns);
  for (size_t s = 0; s < table.series.size(); ++s) {
    sample.series[s] = EvaluateSeries(table.series[s], columns);
  }
  sample.present = true;
  return nullptr;
}

const char* ReadFigures(FigureQueries& queries, int64_t deviceId, DeviceFigures& device) {
  const CaptureRead capture = StepCaptureRow(queries.capture.get(), deviceId, device.capture);
  if (capture == CaptureRead::kCannotPrepare) return "Failed to get device capture status";
  if (capture == CaptureRead::kStepFailed) return "Failed to get device status";
  device.hasCapture = capture == CaptureRead::kRow;
  for (int version = 0; version < kStatsVersions; ++version) {
    const char* failure = ReadNewest(queries.newest[version].get(), StatsTableOf(version), deviceId,
                                     device.samples[version]);
    if (failure != nullptr) return failure;
  }
  return nullptr;
}

// Returns null or the message of the query that cannot be prepared, in the
// order the status command meets them.
const char* PrepareQueries(sqlite3* db, FigureQueries& queries) {
  queries.capture.reset(PrepareCaptureQuery(db));
  if (!queries.capture) return "Failed to get device capture status";
  for (int version = 0; version < kStatsVersions; ++version) {
    queries.newest[version] = Prepare(db, StatsTableOf(version).newest);
    if (!queries.newest[version]) return StatsTableOf(version).failure;
  }
  return nullptr;
}

}  // namespace

const StatsTable& StatsTableOf(int version) { return version == 0 ? kStatsV1 : kStatsV2; }

const char* ReadDeviceFigures(sqlite3* db, std::vector<DeviceFigures>& devices) {
  // The device rows are read whole first.
  std::vector<int64_t> ids;
  {
    Statement statement = Prepare(db, kDeviceQuery);
    if (!statement) return "Failed to get devices";
    int rc;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
      DeviceFigures& device = devices.emplace_back();
      device.mac = ColumnText(statement.get(), 1, "");
      device.model = ColumnText(statement.get(), 2, "Unknown");
      ChargeAnswerBytes(sizeof device + device.mac.size() + device.model.size());
      ids.push_back(sqlite3_column_int64(statement.get(), 0));
    }
    if (rc != SQLITE_DONE) return "Failed to get devices";
  }
  if (ids.empty()) return nullptr;
  FigureQueries queries;
  if (const char* failure = PrepareQueries(db, queries)) return failure;
  for (size_t i = 0; i < ids.size(); ++i) {
    if (const char* failure = ReadFigures(queries, ids[i], devices[i])) return failure;
  }
  return nullptr;
}
