// The statistics part of the status command: a device's samples from the two
// statistics tables, written as the "statsV1" and "statsV2" nodes of parallel
// arrays, one array per counter, one element per sample, oldest first.
#ifndef VELORANTIS_HELPER_STATUS_STATS_SERIES_H_
#define VELORANTIS_HELPER_STATUS_STATS_SERIES_H_

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

// Which samples a request asks for: those whose date is above `from`, at
// most `limit` of them (a negative limit sets no bound, 0 gives none).
struct StatsWindow {
  uint64_t from = 0;
  int limit = 1;
};

// The window of request variables "from" (default 0) and "limit" (default 1).
StatsWindow ReadStatsWindow();

// The two statistics nodes; each stays empty when its table has no sample in
// the window.
struct StatsNodes {
  std::string statsV1;
  std::string statsV2;
};

// Reads the samples of device `deviceId` in `window` from `stats_v1`, then
// from `stats_v2`, on `db` (inside the caller's transaction; one statement
// open at a time) and writes their nodes into `nodes`. Returns null on
// success, or the failure message of the first table whose query cannot be
// prepared or whose rows cannot all be read ("Failed to get device v1
// statistics", "Failed to get device v2 statistics", static text); `nodes`
// then holds nothing meant for the response.
const char* ReadStatistics(sqlite3* db, int64_t deviceId, const StatsWindow& window,
                           StatsNodes& nodes);

// `values` in plain unsigned decimal, joined by "," without blanks or
// brackets; the empty text for an empty list.
std::string OutputU64List(const std::vector<uint64_t>& values);

// Appends OutputU64List(values) to `out` without the intermediate text.
void AppendU64List(std::string& out, const std::vector<uint64_t>& values);

#endif  // VELORANTIS_HELPER_STATUS_STATS_SERIES_H_
