#include "helper/status/stats_tables.h"

#include <array>

namespace {

// ---- Version 1: every series is one column, in query order.

constexpr const char* kV1DeviceKeys[] = {"date",     "softwaredropped", "linkup",
                                         "linkdown", "bogusbytes",      "totalpackets"};
constexpr const char* kV1PortKeys[] = {
    "lessthan64", "between64and1518", "morethan1518", "collision",    "crcerror",       "jabber",
    "bytes",      "maximumbytes",     "totalvalid",   "totalinvalid", "hardwaredropped"};
constexpr int kV1Series = 6 + kPortCount * 11;

constexpr std::array<SeriesFormula, kV1Series> ColumnByColumn() {
  std::array<SeriesFormula, kV1Series> series{};
  for (int i = 0; i < kV1Series; ++i) series[i] = {{static_cast<int8_t>(i), -1}, {-1, -1}};
  return series;
}
constexpr std::array<SeriesFormula, kV1Series> kV1Formulas = ColumnByColumn();

// The tabs and the run of blanks are part of the statement text.
#define VELORANTIS_V1_COLUMNS                                                                   \
  "SELECT date, softwaredropped, linkup, linkdown, bogusbytes, totalpackets, \t    "            \
  "p1_lessthan64, p1_between64and1518, p1_morethan1518, p1_collision, p1_crcerror, p1_jabber, " \
  "p1_bytes, p1_maximumbytes, p1_totalvalid, p1_totalinvalid, p1_hardwaredropped, \t    "       \
  "p2_lessthan64, p2_between64and1518, p2_morethan1518, p2_collision, p2_crcerror, p2_jabber, " \
  "p2_bytes, p2_maximumbytes, p2_totalvalid, p2_totalinvalid, p2_hardwaredropped \t    "
constexpr char kV1Query[] =
    VELORANTIS_V1_COLUMNS "FROM stats_v1 WHERE device = ? AND date > ? ORDER BY date ASC LIMIT ?";
constexpr char kV1Newest[] =
    VELORANTIS_V1_COLUMNS "FROM stats_v1 WHERE device = ? ORDER BY date DESC LIMIT 1";
#undef VELORANTIS_V1_COLUMNS

// ---- Version 2: per-port series derived from sixteen raw counters.

constexpr const char* kV2DeviceKeys[] = {"date", "softwaredropped", "bogusbytes", "totalpackets"};
constexpr const char* kV2PortKeys[] = {"lessthan64", "between64and1518", "morethan1518",   "bytes",
                                       "totalvalid", "totalinvalid",     "hardwaredropped"};

// Query columns: date, softwaredropped, bogusbytes, totalpackets, then
// counter1 to counter16.
constexpr int8_t kTotalPackets = 3;
constexpr int8_t CounterColumn(int counter) { return static_cast<int8_t>(counter + 3); }

constexpr SeriesFormula kV2Formulas[] = {
    {{0, -1}, {-1, -1}},  // date
    {{1, -1}, {-1, -1}},  // softwaredropped
    {{2, -1}, {-1, -1}},  // bogusbytes
    {{kTotalPackets, -1}, {-1, -1}},
    // Port 0. Its "bytes" series is the packet total column, not one of the
    // counters.
    {{CounterColumn(6), -1}, {-1, -1}},                // lessthan64
    {{CounterColumn(8), -1}, {CounterColumn(6), -1}},  // between64and1518
    {{CounterColumn(2), CounterColumn(4)}, {CounterColumn(8), CounterColumn(6)}},  // morethan1518
    {{kTotalPackets, -1}, {-1, -1}},
    {{CounterColumn(2), -1}, {-1, -1}},   // totalvalid
    {{CounterColumn(4), -1}, {-1, -1}},   // totalinvalid
    {{CounterColumn(10), -1}, {-1, -1}},  // hardwaredropped
    // Port 1.
    {{CounterColumn(7), -1}, {-1, -1}},                // lessthan64
    {{CounterColumn(9), -1}, {CounterColumn(7), -1}},  // between64and1518
    {{CounterColumn(3), CounterColumn(5)}, {CounterColumn(9), CounterColumn(7)}},  // morethan1518
    {{CounterColumn(1), -1}, {-1, -1}},                                            // bytes
    {{CounterColumn(3), -1}, {-1, -1}},                                            // totalvalid
    {{CounterColumn(5), -1}, {-1, -1}},                                            // totalinvalid
    {{CounterColumn(11), -1}, {-1, -1}},  // hardwaredropped
};

// Counters 12 to 16 are selected but feed no series, so they are not read.
#define VELORANTIS_V2_COLUMNS                                                                  \
  "SELECT date, softwaredropped, bogusbytes, totalpackets, \t    "                             \
  "counter1, counter2, counter3, counter4, counter5, counter6, counter7, counter8, counter9, " \
  "counter10, counter11, counter12, counter13, counter14, counter15, counter16  \t    "
constexpr char kV2Query[] =
    VELORANTIS_V2_COLUMNS "FROM stats_v2 WHERE device = ? AND date > ? ORDER BY date ASC LIMIT ?";
constexpr char kV2Newest[] =
    VELORANTIS_V2_COLUMNS "FROM stats_v2 WHERE device = ? ORDER BY date DESC LIMIT 1";
#undef VELORANTIS_V2_COLUMNS

static_assert(std::size(kV2Formulas) ==
              std::size(kV2DeviceKeys) + kPortCount * std::size(kV2PortKeys));
static_assert(kV1Series <= kMaxStatsColumns && CounterColumn(11) + 1 <= kMaxStatsColumns);
static_assert(kV1Series == std::size(kV1DeviceKeys) + kPortCount * std::size(kV1PortKeys));

}  // namespace

const StatsTable kStatsV1 = {"statsV1",     kV1Query,    kV1Newest,   Message::kFailedV1Statistics,
                             kV1DeviceKeys, kV1PortKeys, kV1Formulas, kV1Series};
const StatsTable kStatsV2 = {"statsV2",     kV2Query,    kV2Newest,   Message::kFailedV2Statistics,
                             kV2DeviceKeys, kV2PortKeys, kV2Formulas, CounterColumn(11) + 1};

uint64_t EvaluateSeries(const SeriesFormula& formula, const uint64_t* columns) {
  uint64_t value = 0;  // unsigned: the derived values wrap modulo 2^64
  for (int8_t column : formula.plus) {
    if (column >= 0) value += columns[column];
  }
  for (int8_t column : formula.minus) {
    if (column >= 0) value -= columns[column];
  }
  return value;
}

void ReadStatsColumns(sqlite3_stmt* row, const StatsTable& table, uint64_t* columns) {
  for (int c = 0; c < table.columnsRead; ++c) {
    columns[c] = static_cast<uint64_t>(sqlite3_column_int64(row, c));
  }
}
