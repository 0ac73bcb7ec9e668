// The two device lookups in the status database, by MAC text: the status
// command's, and the stand-in status daemon's.
#ifndef VELORANTIS_SHARED_STATUS_DB_H_
#define VELORANTIS_SHARED_STATUS_DB_H_

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "shared/sqlite_handles.h"

// The error figure of device `mac`'s capture row: the daemon keeps it, and
// the back end has no other source for it. Opens the database at `path` as
// the status command does; 0 when there is no such row or it cannot be read.
int64_t StoredCaptureError(const char* path, const char* mac);

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
