#include "helper/status/stats_series.h"

#include <algorithm>

#include "helper/frontend/json_text.h"
#include "helper/frontend/request_vars.h"
#include "helper/status/stats_tables.h"
#include "helper/status/status_db.h"

namespace {

using Series = std::vector<std::vector<uint64_t>>;

// Growth is geometric anyway; reserving up front only saves the first
// reallocations, and must not take a huge "limit" at its word.
constexpr size_t kReserveCap = 4096;

uint64_t Evaluate(const SeriesFormula& formula, const uint64_t* columns) {
  uint64_t value = 0;  // unsigned: the derived values wrap modulo 2^64
  for (int8_t column : formula.plus) {
    if (column >= 0) value += columns[column];
  }
  for (int8_t column : formula.minus) {
    if (column >= 0) value -= columns[column];
  }
  return value;
}

void BindWindow(sqlite3_stmt* statement, int64_t deviceId, const StatsWindow& window) {
  sqlite3_bind_int64(statement, 1, deviceId);
  // A "from" of 2^63 or more is bound as the negative number of the same bits.
  sqlite3_bind_int64(statement, 2, static_cast<int64_t>(window.from));
  sqlite3_bind_int(statement, 3, window.limit);
}

// Appends one value per series for every row; false when the rows end in
// anything but SQLITE_DONE, so a partly read window never passes for whole.
bool CollectRows(sqlite3_stmt* statement, const StatsTable& table, Series& series) {
  uint64_t columns[kMaxStatsColumns];
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    for (int c = 0; c < table.columnsRead; ++c) {
      columns[c] = static_cast<uint64_t>(sqlite3_column_int64(statement, c));
    }
    for (size_t s = 0; s < series.size(); ++s) {
      series[s].push_back(Evaluate(table.series[s], columns));
    }
  }
  return rc == SQLITE_DONE;
}

void ReserveSeries(Series& series, const StatsWindow& window) {
  if (window.limit <= 0) return;
  const size_t expected = std::min(static_cast<size_t>(window.limit), kReserveCap);
  for (auto& values : series) values.reserve(expected);
}

size_t DecimalLength(uint64_t value) {
  size_t length = 1;
  while (value >= 10) {
    value /= 10;
    ++length;
  }
  return length;
}

// Close to the final size for counters that only grow: each series' last
// value has the most digits.
size_t EstimatedNodeSize(const Series& series) {
  size_t size = 512;
  for (const auto& values : series) {
    if (!values.empty()) size += values.size() * (DecimalLength(values.back()) + 1);
  }
  return size;
}

void WriteMember(std::string& node, const char* key, const std::vector<uint64_t>& values,
                 const char* close) {
  node += '"';
  node += key;
  node += "\": [";
  AppendU64List(node, values);
  node += close;
}

void WriteNode(const StatsTable& table, const Series& series, std::string& node) {
  node.reserve(EstimatedNodeSize(series));
  node += '"';
  node += table.node;
  node += "\": {\n";
  size_t s = 0;
  for (const char* key : table.deviceKeys) WriteMember(node, key, series[s++], "],\n");
  node += "\"ports\": [\n";
  for (int port = 0; port < kPortCount; ++port) {
    if (port > 0) node += ',';
    node += "{\n";
    const size_t last = table.portKeys.size() - 1;
    for (size_t k = 0; k <= last; ++k) {
      WriteMember(node, table.portKeys[k], series[s++], k < last ? "],\n" : "]\n");
    }
    node += "}\n";
  }
  node += "]\n}";
}

// One table's query, rows and node. Returns null or the table's message.
const char* ReadTable(sqlite3* db, const StatsTable& table, int64_t deviceId,
                      const StatsWindow& window, std::string& node) {
  Statement statement = Prepare(db, table.query);
  if (!statement) return table.failure;
  BindWindow(statement.get(), deviceId, window);
  Series series(table.series.size());
  ReserveSeries(series, window);
  if (!CollectRows(statement.get(), table, series)) return table.failure;
  statement.reset();
  if (!series[0].empty()) WriteNode(table, series, node);
  return nullptr;
}

}  // namespace

StatsWindow ReadStatsWindow() {
  return {getenv_u64_default("from", 0), getenv_int_default("limit", 1)};
}

const char* ReadStatistics(sqlite3* db, int64_t deviceId, const StatsWindow& window,
                           StatsNodes& nodes) {
  if (const char* failure = ReadTable(db, kStatsV1, deviceId, window, nodes.statsV1)) {
    return failure;
  }
  return ReadTable(db, kStatsV2, deviceId, window, nodes.statsV2);
}

std::string OutputU64List(const std::vector<uint64_t>& values) {
  std::string text;
  AppendU64List(text, values);
  return text;
}

void AppendU64List(std::string& out, const std::vector<uint64_t>& values) {
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out += ',';
    AppendDecimal(out, values[i]);
  }
}
