// The two statistics tables as the status command reads and shows them: each
// one's query, the series it derives from the query's columns, and the keys
// of the node those series are written under.
#ifndef VELORANTIS_HELPER_STATUS_STATS_TABLES_H_
#define VELORANTIS_HELPER_STATUS_STATS_TABLES_H_

#include "shared/status.h"

#include <sqlite3.h>

#include <cstdint>
#include <span>

// A series value per sample: the sum of the `plus` columns minus the `minus`
// columns, wrapping modulo 2^64. -1 marks an unused slot.
struct SeriesFormula {
  int8_t plus[2];
  int8_t minus[2];
};

// The node holds the device-wide series first, then one object per port, each
// with the per-port series in `portKeys` order.
inline constexpr int kPortCount = 2;

// No table's formulas use more leading query columns than this.
inline constexpr int kMaxStatsColumns = 32;

struct StatsTable {
  const char* node;    // the node's key, e.g. "statsV1"
  const char* query;   // parameters: device id, "from", "limit"
  const char* newest;  // the same columns of the device's newest sample; parameter: device id
  Message failure;     // the status command's message when reading fails
  std::span<const char* const> deviceKeys;
  std::span<const char* const> portKeys;
  // One per series: the device-wide ones, then port 0's, then port 1's.
  std::span<const SeriesFormula> series;
  int columnsRead;  // the leading query columns the formulas use, <= kMaxStatsColumns
};

extern const StatsTable kStatsV1;
extern const StatsTable kStatsV2;

// One series' value for a row whose leading columns are `columns`.
uint64_t EvaluateSeries(const SeriesFormula& formula, const uint64_t* columns);

// The `table.columnsRead` leading columns of the current `row` into
// `columns`, as the unsigned values of their stored 64 bits.
void ReadStatsColumns(sqlite3_stmt* row, const StatsTable& table, uint64_t* columns);

#endif  // VELORANTIS_HELPER_STATUS_STATS_TABLES_H_
