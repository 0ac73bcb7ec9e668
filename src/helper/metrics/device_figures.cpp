#include "helper/metrics/device_figures.h"

#include "helper/frontend/memory_budget.h"
#include "shared/sqlite_handles.h"

namespace {

constexpr char kDeviceQuery[] = "SELECT id, mac, model FROM device WHERE id >= 0 ORDER BY id";

std::string ColumnText(sqlite3_stmt* row, int column, const char* fallback) {
  const unsigned char* text = sqlite3_column_text(row, column);
  return text != nullptr ? reinterpret_cast<const char*>(text) : fallback;
}

// The newest sample of `table` for the device. Returns null or the table's
// message.
const char* ReadNewest(sqlite3* db, const StatsTable& table, int64_t deviceId,
                       NewestSample& sample) {
  Statement statement = Prepare(db, table.newest);
  if (!statement || sqlite3_bind_int64(statement.get(), 1, deviceId) != SQLITE_OK) {
    return table.failure;
  }
  const int rc = sqlite3_step(statement.get());
  if (rc == SQLITE_DONE) return nullptr;
  if (rc != SQLITE_ROW) return table.failure;
  uint64_t columns[kMaxStatsColumns];
  ReadStatsColumns(statement.get(), table, columns);
  for (size_t s = 0; s < table.series.size(); ++s) {
    sample.series[s] = EvaluateSeries(table.series[s], columns);
  }
  sample.present = true;
  return nullptr;
}

const char* ReadFigures(sqlite3* db, int64_t deviceId, DeviceFigures& device) {
  const CaptureRead capture = ReadCaptureRow(db, deviceId, device.capture);
  if (capture == CaptureRead::kCannotPrepare) return "Failed to get device capture status";
  if (capture == CaptureRead::kStepFailed) return "Failed to get device status";
  device.hasCapture = capture == CaptureRead::kRow;
  for (int version = 0; version < kStatsVersions; ++version) {
    const StatsTable& table = StatsTableOf(version);
    if (const char* failure = ReadNewest(db, table, deviceId, device.samples[version])) {
      return failure;
    }
  }
  return nullptr;
}

}  // namespace

const StatsTable& StatsTableOf(int version) { return version == 0 ? kStatsV1 : kStatsV2; }

const char* ReadDeviceFigures(sqlite3* db, std::vector<DeviceFigures>& devices) {
  // The device rows are read whole first: one statement open at a time.
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
  for (size_t i = 0; i < ids.size(); ++i) {
    if (const char* failure = ReadFigures(db, ids[i], devices[i])) return failure;
  }
  return nullptr;
}
