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

// Opens the database at `path` as the status command does; a row of zeros
// when there is no such row or it cannot be read.
StoredCapture ReadStoredCapture(const char* path, const char* mac);

// The `id` of the device whose `mac` is exactly `mac`, or -1 when there is no
// such row or it cannot be read (a missing table, a lock, a MAC that cannot
// be bound). Callers treat every negative id as a missing device.
int64_t GetDeviceId(sqlite3* db, const char* mac);

// The stored `model` of the device whose `mac` is exactly `mac`, or "Unknown"
// when there is no such row, it cannot be read (as for GetDeviceId), or the
// model is NULL.
std::string GetDeviceType(sqlite3* db, const char* mac);

// The device's id and model as GetDeviceId and GetDeviceType give them, read
// with one statement where the table has both columns (the daemon's always
// has): each statement prepared costs a request more than its reads.
struct StoredDevice {
  int64_t id;
  std::string model;
};
StoredDevice GetStoredDevice(sqlite3* db, const char* mac);

#endif  // VELORANTIS_SHARED_STATUS_DB_H_
