// A failed SQLite call as a Status, alike for every database: memory that
// ran out fails as the program's own allocations do, "Not enough memory"
// (a database failure would send the user after a fault the file does not
// have); any other failure carries SQLite's error with the database's path
// as its cause, for the failure log.
#ifndef VELORANTIS_SHARED_SQLITE_FAILURE_H_
#define VELORANTIS_SHARED_SQLITE_FAILURE_H_

#include <sqlite3.h>

#include <string>

#include "shared/status.h"

// Whether `rc`, what a call on `db` returned (or sqlite3_open_v2, with `db`
// null), means that memory ran out: SQLITE_NOMEM, or an I/O error whose
// system call failed with ENOMEM, as mapping the write-ahead log's index
// does when the address space is full.
bool IsOutOfMemory(sqlite3* db, int rc);

// SQLite's error on `db` with the database's path:
//   sqlite "TEXT" code N (extended M, errno E) at PATH
// errno only when SQLite had one from the system. When `db` holds no error
// (a query that found no row), "sqlite: no matching row at PATH".
std::string SqliteCause(sqlite3* db, const char* path);

// An open of the database at `path` that failed with SQLite's `code` and
// the system's `systemErrno` (0 for none), in the same form.
std::string SqliteOpenCause(const char* path, int code, int systemErrno);

// The failure of a call on `db` that returned `rc`: kNotEnoughMemory when
// memory ran out, else `failed`; the cause SqliteCause with the path of the
// connection's main database.
Status SqliteFailed(sqlite3* db, int rc, Message failed);

#endif  // VELORANTIS_SHARED_SQLITE_FAILURE_H_
