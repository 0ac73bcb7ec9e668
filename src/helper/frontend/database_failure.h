// A failed SQLite call as a step's outcome, treated alike by every command:
// memory that ran out fails as the program's own allocations do, so the
// request answers "Not enough memory" and not that the database failed
// (which would send the user after a fault the file does not have); any
// other failure carries SQLite's cause with the database's path.
#ifndef VELORANTIS_HELPER_FRONTEND_DATABASE_FAILURE_H_
#define VELORANTIS_HELPER_FRONTEND_DATABASE_FAILURE_H_

#include <sqlite3.h>

#include <string>

#include "shared/sqlite_handles.h"
#include "shared/status.h"

// Throws std::bad_alloc (ThrowOutOfMemory) when `rc`, what a call on `db`
// returned, means that memory ran out (IsOutOfMemory).
void ThrowIfOutOfMemory(sqlite3* db, int rc);

// The failure with `message` of the last call on `db` (the database at
// `path`), or the throw above.
Status DatabaseFailed(Message message, sqlite3* db, const char* path);

// Why the open of the database at `path` failed, as the failure log says it.
std::string OpenFailureCause(const char* path, const OpenFailure& failure);

// The failure with `message` of an open of the database at `path`, or the
// throw above; a file a later version made fails with its own message.
Status OpenFailed(Message message, const char* path, const OpenFailure& failure);

#endif  // VELORANTIS_HELPER_FRONTEND_DATABASE_FAILURE_H_
