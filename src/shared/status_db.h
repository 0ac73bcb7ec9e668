// The two device lookups in the status database, by MAC text: the status
// command's, and the stand-in status daemon's.
#ifndef VELORANTIS_SHARED_STATUS_DB_H_
#define VELORANTIS_SHARED_STATUS_DB_H_

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "shared/sqlite_handles.h"

// Device `mac`'s capture row, which the daemon keeps: whether it last saw a
// capture running, and the capture's error figure, for which the back end
// has no other source.
struct StoredCapture {
  bool running = false;
  int64_t error = 0;
};

// Opens the database at `path` as the status command does, and reads the
// row into `capture`; a row of zeros when there is none. Fails with
// kCannotOpenDatabase when it cannot be read, `capture` then zeros.
Status ReadStoredCapture(const char* path, const char* mac, StoredCapture& capture);

// The `id` of the device whose `mac` is exactly `mac`. Fails with
// kFailedDeviceId when there is no such row, its id is negative (no
// device), or it cannot be read (a missing
// table, a lock, a MAC that cannot be bound).
Status GetDeviceId(sqlite3* db, const char* mac, int64_t& id);

// The stored `model` of the device whose `mac` is exactly `mac` into
// `model`: "Unknown" when there is no such row, the model is NULL, or it
// cannot be read (as for GetDeviceId). Fails only when memory ran out.
Status GetDeviceType(sqlite3* db, const char* mac, std::string& model);

// The device's id as GetDeviceId gives it, and its stored `model`:
// "Unknown" when the model is NULL or cannot be read (only memory that ran
// out fails then). One statement reads both where the table has both
// columns (the daemon's always has): each statement prepared costs a
// request more than its reads.
struct StoredDevice {
  int64_t id = -1;
  std::string model;
};
Status GetStoredDevice(sqlite3* db, const char* mac, StoredDevice& device);

#endif  // VELORANTIS_SHARED_STATUS_DB_H_
