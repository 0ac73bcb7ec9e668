#include "helper/metrics/device_figures.h"

#include "helper/frontend/memory_budget.h"
#include "shared/sqlite_failure.h"
#include "shared/statement.h"

namespace {

constexpr char kDeviceQuery[] = "SELECT id, mac, model FROM device WHERE id >= 0 ORDER BY id";

// The fallback stands for SQL NULL, never for SQLite running out of memory.
Status ColumnText(sqlite3_stmt* row, int column, const char* fallback, std::string& text) {
  const unsigned char* value = sqlite3_column_text(row, column);
  sqlite3* db = sqlite3_db_handle(row);
  if (value == nullptr && IsOutOfMemory(db, sqlite3_errcode(db))) {
    return SqliteFailed(db, sqlite3_errcode(db), Message::kFailedDevices);
  }
  text = value != nullptr ? reinterpret_cast<const char*>(value) : fallback;
  return {};
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
  bool found = false;
  Status read = Bind(statement, table.failure, deviceId);
  if (read.ok()) read = Step(statement, table.failure, found);
  if (!read.ok() || !found) return read;
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
  if (Status prepared = PrepareCaptureQuery(db, queries.capture); !prepared.ok()) return prepared;
  for (int version = 0; version < kStatsVersions; ++version) {
    const StatsTable& table = StatsTableOf(version);
    if (Status prepared = Prepare(db, table.newest, table.failure, queries.newest[version]);
        !prepared.ok()) {
      return prepared;
    }
  }
  return {};
}

}  // namespace

const StatsTable& StatsTableOf(int version) { return version == 0 ? kStatsV1 : kStatsV2; }

Status ReadDeviceFigures(sqlite3* db, std::vector<DeviceFigures>& devices) {
  // The device rows are read whole first.
  std::vector<int64_t> ids;
  {
    constexpr Message kFailed = Message::kFailedDevices;
    Statement statement;
    Status column;
    Status read = Prepare(db, kDeviceQuery, kFailed, statement);
    if (read.ok()) {
      read = ForEachRow(statement.get(), kFailed, [&](sqlite3_stmt* row) {
        DeviceFigures& device = devices.emplace_back();
        if (column.ok()) column = ColumnText(row, 1, "", device.mac);
        if (column.ok()) column = ColumnText(row, 2, "Unknown", device.model);
        ChargeAnswerBytes(sizeof device + device.mac.size() + device.model.size());
        ids.push_back(sqlite3_column_int64(row, 0));
      });
    }
    if (!column.ok()) return column;
    if (!read.ok()) return read;
  }
  if (ids.empty()) return {};
  FigureQueries queries;
  if (Status prepared = PrepareQueries(db, queries); !prepared.ok()) return prepared;
  for (size_t i = 0; i < ids.size(); ++i) {
    if (Status read = ReadFigures(queries, ids[i], devices[i]); !read.ok()) return read;
  }
  return {};
}
