// The status database as the status command reads it: the connection, its
// statements, and the two device lookups.
#ifndef VELORANTIS_HELPER_STATUS_STATUS_DB_H_
#define VELORANTIS_HELPER_STATUS_STATUS_DB_H_

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>

// An owned connection, closed when the pointer goes.
using StatusDb = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;
// An owned prepared statement, finalized when the pointer goes.
using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

// Opens the existing database at `path` for reading and writing; a missing
// file is not created. No busy timeout is set, so a read that meets another
// process's lock fails at once. Returns null when the open fails (the handle
// SQLite may give back then is closed already).
StatusDb OpenStatusDatabase(const char* path);

// Prepares `sql` on `db`. Returns null when it cannot be prepared.
Statement Prepare(sqlite3* db, const char* sql);

// The `id` of the device whose `mac` is exactly `mac`, or -1 when there is no
// such row or it cannot be read (a missing table, a lock). Callers treat every
// negative id as a missing device.
int64_t GetDeviceId(sqlite3* db, const char* mac);

// The stored `model` of the device whose `mac` is exactly `mac`, or "Unknown"
// when there is no such row, it cannot be read, or the model is NULL.
std::string GetDeviceType(sqlite3* db, const char* mac);

#endif  // VELORANTIS_HELPER_STATUS_STATUS_DB_H_
