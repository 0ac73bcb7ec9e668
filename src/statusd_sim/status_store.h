// The stand-in daemon's side of the status database: creating it and writing
// one round of device state and samples.
#ifndef VELORANTIS_STATUSD_SIM_STATUS_STORE_H_
#define VELORANTIS_STATUSD_SIM_STATUS_STORE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "device_scan.h"
#include "shared/sqlite_handles.h"

// Opens the database at `path`, creating the file and any missing table or
// index of the built-in schema, and switches it to WAL journal mode so that
// readers are never blocked by the daemon's writes. Returns null after
// reporting the failure on standard error.
Connection OpenStore(const std::string& path);

// In one transaction: for every device, its `device` row (inserted or its
// model updated), its `capture` row (status 1 while capturing, else 0, with
// the capture's figures) and one sample in each statistics table, dated `now`
// (Unix seconds) at the earliest. Returns false, with everything of the
// round rolled back, after reporting a failure on standard error.
bool WriteStatusRound(sqlite3* db, const std::vector<ScannedDevice>& devices, int64_t now);

#endif  // VELORANTIS_STATUSD_SIM_STATUS_STORE_H_
