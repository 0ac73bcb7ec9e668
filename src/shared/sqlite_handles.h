// Owned SQLite connections and statements: closed and finalized on every path
// by going out of scope.
#ifndef VELORANTIS_SHARED_SQLITE_HANDLES_H_
#define VELORANTIS_SHARED_SQLITE_HANDLES_H_

#include <sqlite3.h>

#include <memory>

// Stateless deleters, so an owned handle is one pointer wide. A connection
// is closed with sqlite3_close_v2, which never fails for statements still
// open: it defers the close until the last of them is finalized.
struct CloseConnection {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

// An owned connection, closed when the pointer goes.
using Connection = std::unique_ptr<sqlite3, CloseConnection>;
// An owned prepared statement, finalized when the pointer goes. Declare it
// after the connection it belongs to, so it is finalized first.
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

// Why an open failed: SQLite's extended result code, and the errno of the
// system call behind it (0 when there was none).
struct OpenFailure {
  int code = 0;
  int systemErrno = 0;
};

// Opens the existing database at `path` for reading and writing, through the
// default file-system layer; a missing file is not created. No busy timeout
// is set, so a statement that meets another process's lock fails at once.
// Returns null when the open fails (the handle SQLite may give back then is
// closed already), after filling `failure` when one is given.
Connection OpenExistingDatabase(const char* path, OpenFailure* failure = nullptr);

// Prepares `sql` (up to its NUL) on `db`. Returns null when it cannot be
// prepared.
Statement Prepare(sqlite3* db, const char* sql);

// Whether `rc`, what a call on `db` returned (or sqlite3_open_v2, with `db`
// null), means that memory ran out: SQLITE_NOMEM, or an I/O error whose
// system call failed with ENOMEM, as mapping the write-ahead log's index
// does when the address space is full.
bool IsOutOfMemory(sqlite3* db, int rc);

#endif  // VELORANTIS_SHARED_SQLITE_HANDLES_H_
