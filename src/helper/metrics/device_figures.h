// What the metrics command shows of each device, read from the status
// database: its identity, its capture row and the newest sample of each
// statistics table, as the status command reads and derives them.
#ifndef VELORANTIS_HELPER_METRICS_DEVICE_FIGURES_H_
#define VELORANTIS_HELPER_METRICS_DEVICE_FIGURES_H_

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "helper/status/capture_row.h"
#include "helper/status/stats_tables.h"

// The newest sample of one statistics table: its series values, in the
// table's series order (series 0 is the sample's date).
struct NewestSample {
  bool present = false;
  std::array<uint64_t, kMaxStatsColumns> series{};
};

inline constexpr int kStatsVersions = 2;

struct DeviceFigures {
  std::string mac;
  std::string model;                     // "Unknown" when the row has none
  std::optional<CaptureRow> capture;     // none when the device has no capture row
  NewestSample samples[kStatsVersions];  // stats_v1, then stats_v2
};

// The statistics table of DeviceFigures::samples[version].
const StatsTable& StatsTableOf(int version);

// Appends every device of `db` (by id; a negative id is a missing device, as
// for the status command) with its figures to `devices`. Runs inside the
// caller's transaction, with one statement per query for all devices. A device without a
// capture row or without samples is no failure: those figures are absent.
// Fails with the message of the first read that failed; the caller finds
// SQLite's own error on `db`. Charges what it keeps to the request's
// memory budget (throws std::bad_alloc past it).
Status ReadDeviceFigures(sqlite3* db, std::vector<DeviceFigures>& devices);

#endif  // VELORANTIS_HELPER_METRICS_DEVICE_FIGURES_H_
