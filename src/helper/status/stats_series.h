// The statistics part of the status command: a device's samples from the two
// statistics tables, written as the "statsV1" and "statsV2" nodes of parallel
// arrays, one array per counter, one element per sample, oldest first.
#ifndef VELORANTIS_HELPER_STATUS_STATS_SERIES_H_
#define VELORANTIS_HELPER_STATUS_STATS_SERIES_H_

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "helper/frontend/response.h"
#include "shared/status.h"

// Which samples a request asks for: those whose date is above `from`, at
// most `limit` of them (a negative limit sets no bound, 0 gives none).
struct StatsWindow {
  uint64_t from = 0;
  int limit = 1;
};

// The window of request variables "from" (default 0) and "limit" (default 1).
StatsWindow ReadStatsWindow();

// One series' text as rows are read: its values in plain unsigned decimal
// joined by "," (no blanks, no brackets), held in blocks of at most
// kSeriesBlockSize bytes. A window of millions of samples thus needs neither
// one contiguous buffer per series nor the slack of a doubling one, and the
// blocks go into the response as they stand.
struct SeriesText {
  std::vector<std::string> blocks;
  bool empty = true;
};

inline constexpr size_t kSeriesBlockSize = 64 * 1024;

// Appends `value` (and the "," before it unless it is the first) to `text`.
// Every block and every growth of one is charged to the request's memory
// budget (ChargeAnswerBytes), which throws std::bad_alloc past it.
void AppendSeriesValue(SeriesText& text, uint64_t value);

// The two statistics nodes as response pieces, in order; each stays empty
// when its table has no sample in the window.
struct StatsNodes {
  TextPieces statsV1;
  TextPieces statsV2;
};

// Reads the samples of device `deviceId` in `window` from `stats_v1`, then
// from `stats_v2`, on `db` (inside the caller's transaction; one statement
// open at a time) and writes their nodes into `nodes`. Fails with the
// message of the first table whose query cannot be prepared or whose rows
// cannot all be read (kFailedV1Statistics, kFailedV2Statistics); `nodes`
// then holds nothing meant for the response. Throws std::bad_alloc when
// memory runs out.
Status ReadStatistics(sqlite3* db, int64_t deviceId, const StatsWindow& window, StatsNodes& nodes);

#endif  // VELORANTIS_HELPER_STATUS_STATS_SERIES_H_
