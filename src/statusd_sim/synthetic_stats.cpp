#include "synthetic_stats.h"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "device_library/sim/splitmix64.h"
#include "shared/statement.h"
#include "sql_report.h"

namespace {

// A counter grows each sample by `base` plus up to `spread`.
struct Counter {
  const char* column;
  uint32_t base;
  uint32_t spread;
};

struct SampleTable {
  const char* name;
  std::span<const Counter> counters;
};

// Per port: about a thousand frames a second and a few runts, as a healthy
// link carries: no drops and no errors, so that the alert rules stay quiet
// unless a test or the operator makes them speak.
constexpr Counter kV1Counters[] = {
    {"softwaredropped", 0, 0},
    {"linkup", 0, 0},
    {"linkdown", 0, 0},
    {"bogusbytes", 0, 64},
    {"totalpackets", 1900, 500},
    {"p1_lessthan64", 0, 2},
    {"p1_between64and1518", 900, 300},
    {"p1_morethan1518", 10, 20},
    {"p1_collision", 0, 0},
    {"p1_crcerror", 0, 0},
    {"p1_jabber", 0, 0},
    {"p1_bytes", 500000, 300000},
    {"p1_maximumbytes", 0, 0},
    {"p1_totalvalid", 910, 320},
    {"p1_totalinvalid", 0, 0},
    {"p1_hardwaredropped", 0, 0},
    {"p2_lessthan64", 0, 2},
    {"p2_between64and1518", 700, 200},
    {"p2_morethan1518", 5, 10},
    {"p2_collision", 0, 0},
    {"p2_crcerror", 0, 0},
    {"p2_jabber", 0, 0},
    {"p2_bytes", 400000, 200000},
    {"p2_maximumbytes", 0, 0},
    {"p2_totalvalid", 705, 210},
    {"p2_totalinvalid", 0, 0},
    {"p2_hardwaredropped", 0, 0},
};

// The status command derives per-port series from these counters (port 0:
// counters 2, 4, 6, 8, 10; port 1: 1, 3, 5, 7, 9, 11); the ranges keep those
// series from going below zero: counter8 >= counter6 and counter2 + counter4
// >= counter8 + counter6, likewise for port 1.
constexpr Counter kV2Counters[] = {
    {"softwaredropped", 0, 0},    {"bogusbytes", 0, 64},   {"totalpackets", 1900, 500},
    {"counter1", 400000, 200000}, {"counter2", 1300, 100}, {"counter3", 900, 100},
    {"counter4", 0, 0},           {"counter5", 0, 0},      {"counter6", 0, 2},
    {"counter7", 0, 2},           {"counter8", 800, 400},  {"counter9", 500, 300},
    {"counter10", 0, 0},          {"counter11", 0, 0},     {"counter12", 0, 10},
    {"counter13", 0, 10},         {"counter14", 0, 10},    {"counter15", 0, 10},
    {"counter16", 0, 10},
};

constexpr SampleTable kSampleTables[] = {{"stats_v1", kV1Counters}, {"stats_v2", kV2Counters}};

std::string ColumnList(const SampleTable& table) {
  std::string list = "date";
  for (const Counter& counter : table.counters) list = list + ", " + counter.column;
  return list;
}

// The latest sample's date and counters, or all zeros (and no date) when the
// device has none yet.
bool ReadLatest(sqlite3* db, const SampleTable& table, int64_t deviceId,
                std::vector<int64_t>& latest, bool& found) {
  const std::string sql = "SELECT " + ColumnList(table) + " FROM " + table.name +
                          " WHERE device = ? ORDER BY date DESC LIMIT 1";
  Statement statement;
  if (!Prepare(db, sql.c_str(), kStoreFailed, statement).ok())
    return ReportSqlFailure(db, "reading the latest sample");
  if (!BindNumbers(statement.get(), {&deviceId, 1})) {
    return ReportSqlFailure(db, "reading the latest sample");
  }
  latest.assign(table.counters.size() + 1, 0);
  const int rc = sqlite3_step(statement.get());
  found = rc == SQLITE_ROW;
  if (!found) return rc == SQLITE_DONE || ReportSqlFailure(db, "reading the latest sample");
  for (size_t i = 0; i < latest.size(); ++i) {
    latest[i] = sqlite3_column_int64(statement.get(), static_cast<int>(i));
  }
  return true;
}

// `value` plus `increment` modulo 2^64, as the stored 64 bits: a counter
// wraps past the largest value like the device's own, and a date past the
// largest one starts again from `now`.
int64_t WrappingAdd(int64_t value, uint64_t increment) {
  return static_cast<int64_t>(static_cast<uint64_t>(value) + increment);
}

// `latest` becomes the next sample: a later date, every counter grown.
void Advance(const SampleTable& table, int64_t deviceId, int64_t now, bool hadSample,
             std::vector<int64_t>& latest) {
  const int64_t date = hadSample ? std::max(now, WrappingAdd(latest[0], 1)) : now;
  latest[0] = date;
  for (size_t i = 0; i < table.counters.size(); ++i) {
    const Counter& counter = table.counters[i];
    const uint64_t draw = SplitMix64(static_cast<uint64_t>(deviceId) * 1000003u ^
                                     static_cast<uint64_t>(date) * 131u ^ i);
    latest[i + 1] =
        WrappingAdd(latest[i + 1], counter.base + draw % (uint64_t{counter.spread} + 1));
  }
}

bool Insert(sqlite3* db, const SampleTable& table, int64_t deviceId,
            const std::vector<int64_t>& sample) {
  std::string sql =
      std::string("INSERT INTO ") + table.name + " (device, " + ColumnList(table) + ") VALUES (?";
  for (size_t i = 0; i < sample.size(); ++i) sql += ", ?";
  sql += ")";
  Statement statement;
  if (!Prepare(db, sql.c_str(), kStoreFailed, statement).ok())
    return ReportSqlFailure(db, "adding a sample");
  if (!BindNumbers(statement.get(), {&deviceId, 1}) || !BindNumbers(statement.get(), sample, 2)) {
    return ReportSqlFailure(db, "adding a sample");
  }
  return StepToEnd(db, statement.get(), "adding a sample");
}

}  // namespace

bool AppendSamples(sqlite3* db, int64_t deviceId, int64_t now) {
  for (const SampleTable& table : kSampleTables) {
    std::vector<int64_t> sample;
    bool hadSample = false;
    if (!ReadLatest(db, table, deviceId, sample, hadSample)) return false;
    Advance(table, deviceId, now, hadSample, sample);
    if (!Insert(db, table, deviceId, sample)) return false;
  }
  return true;
}
