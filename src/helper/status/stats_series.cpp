#include "helper/status/stats_series.h"

#include <algorithm>
#include <new>

#include "helper/frontend/json_text.h"
#include "helper/frontend/memory_budget.h"
#include "helper/status/stats_tables.h"
#include "shared/statement.h"
#include "shared/status_db.h"

namespace {

// A "," and the longest unsigned 64-bit decimal.
constexpr size_t kMaxValueText = 21;
constexpr size_t kFirstBlockSize = 64;

// Moves one array member into `pieces`: its key piece, the series' blocks,
// and `close`.
void AddMember(TextPieces& pieces, const char* key, SeriesText& series, const char* close) {
  pieces.push_back(std::string("\"") + key + "\": [");
  for (std::string& block : series.blocks) pieces.push_back(std::move(block));
  pieces.emplace_back(close);
}

void WriteNode(const StatsTable& table, std::vector<SeriesText>& series, TextPieces& pieces) {
  size_t blocks = 0;
  for (const SeriesText& text : series) blocks += text.blocks.size();
  pieces.reserve(blocks + 3 * series.size() + 8);
  pieces.push_back(std::string("\"") + table.node + "\": {\n");
  size_t s = 0;
  for (const char* key : table.deviceKeys) AddMember(pieces, key, series[s++], "],\n");
  pieces.emplace_back("\"ports\": [\n");
  for (int port = 0; port < kPortCount; ++port) {
    pieces.emplace_back(port > 0 ? ",{\n" : "{\n");
    const size_t last = table.portKeys.size() - 1;
    for (size_t k = 0; k <= last; ++k) {
      AddMember(pieces, table.portKeys[k], series[s++], k < last ? "],\n" : "]\n");
    }
    pieces.emplace_back("}\n");
  }
  pieces.emplace_back("]\n}");
}

// One table's query, rows and node, or the table's failure. The rows are
// the window's oldest first, and no more than the request asked for; SQLite's
// own allocations fail like the series': the window does not fit.
Status ReadTable(sqlite3* db, const StatsTable& table, int64_t deviceId, const StatsWindow& window,
                 TextPieces& node) {
  Statement statement;
  std::vector<SeriesText> series(table.series.size());
  Status read = Prepare(db, table.query, table.failure, statement);
  // A "from" of 2^63 or more is bound as the negative number of the same bits.
  if (read.ok()) {
    read = Bind(statement.get(), table.failure, deviceId, static_cast<int64_t>(window.from),
                window.limit);
  }
  // Rows that end in a failure fail the table: a partly read window never
  // passes for whole.
  if (read.ok()) {
    read = ForEachRow(statement.get(), table.failure, [&](sqlite3_stmt* row) {
      uint64_t columns[kMaxStatsColumns];
      ReadStatsColumns(row, table, columns);
      for (size_t s = 0; s < series.size(); ++s) {
        AppendSeriesValue(series[s], EvaluateSeries(table.series[s], columns));
      }
    });
  }
  if (!read.ok()) return read;
  statement.reset();
  if (!series[0].empty) WriteNode(table, series, node);
  return {};
}

}  // namespace

void AppendSeriesValue(SeriesText& text, uint64_t value) {
  std::vector<std::string>& blocks = text.blocks;
  if (blocks.empty() || blocks.back().capacity() - blocks.back().size() < kMaxValueText) {
    // Small windows stay small: a block doubles up to the block size, after
    // which the next one starts at full size.
    if (!blocks.empty() && blocks.back().capacity() < kSeriesBlockSize) {
      const size_t capacity = blocks.back().capacity();
      const size_t grown = std::min(capacity * 2, kSeriesBlockSize);
      ChargeAnswerBytes(grown - capacity);
      blocks.back().reserve(grown);
    } else {
      const size_t size = blocks.empty() ? kFirstBlockSize : kSeriesBlockSize;
      ChargeAnswerBytes(size);
      blocks.emplace_back().reserve(size);
    }
  }
  std::string& block = blocks.back();
  if (!text.empty) block += ',';
  text.empty = false;
  AppendDecimal(block, value);
}

StatsWindow ReadStatsWindow(const Request& request) {
  return {NumberOf(request, Key::kStatusFrom), IntegerOf(request, Key::kStatusLimit)};
}

Status ReadStatistics(sqlite3* db, int64_t deviceId, const StatsWindow& window, StatsNodes& nodes) {
  if (Status read = ReadTable(db, kStatsV1, deviceId, window, nodes.statsV1); !read.ok()) {
    return read;
  }
  return ReadTable(db, kStatsV2, deviceId, window, nodes.statsV2);
}
