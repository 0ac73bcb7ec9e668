// Synthetic statistics samples: counters that grow like a lightly loaded
// tap's would.
#ifndef VELORANTIS_STATUSD_SIM_SYNTHETIC_STATS_H_
#define VELORANTIS_STATUSD_SIM_SYNTHETIC_STATS_H_

#include <sqlite3.h>

#include <cstdint>

// Appends one `stats_v1` and one `stats_v2` sample for device `deviceId`.
// Each is dated `now` (Unix seconds), or one second after the device's latest
// sample in that table when `now` is not later, so dates strictly increase
// however fast rounds come (up to the largest date, 2^63 - 1). Every counter
// is its previous value plus an increment drawn from a fixed range
// (deterministic in device, date and column), modulo 2^64. Returns false
// after reporting a database failure.
bool AppendSamples(sqlite3* db, int64_t deviceId, int64_t now);

#endif  // VELORANTIS_STATUSD_SIM_SYNTHETIC_STATS_H_
