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
  // The file's schema version (user_version) when it opened but is newer
  // than this program's: a later version made it, and this one must not
  // write it as if it were its own.
  int newerVersion = 0;
};

// The failure `db` holds (extended code and errno), or `rc` alone when there
// is no handle.
OpenFailure FailureOf(sqlite3* db, int rc);

// How a connection is used: each names the one set of options every
// connection of that kind gets.
enum class DatabaseUse {
  // A reader of the status database: a statement that meets the daemon's
  // lock fails at once, and closing leaves checkpoints to the daemon (a
  // closing connection that checkpoints takes the exclusive lock for a
  // moment, and concurrent status requests made each other fail that way).
  kStatusReader,
  // A request that mostly reads: it waits up to two seconds for another
  // process's lock, and does not checkpoint the log as it closes (that takes
  // the database's exclusive lock for a moment, failing whoever meets it).
  kReader,
  // A request that writes: it waits as a reader does, and its close keeps
  // the log checkpointed.
  kWriter,
  // As kWriter, creating the file when it is missing (the status daemon, and
  // the program building its records database).
  kCreator,
};

// How long a waiting connection waits for another process's lock: locks
// are only ever held for a moment (every request is a new process, and the
// first connection after a quiet spell rebuilds the log's index under one).
inline constexpr int kDatabaseLockWaitMs = 2000;

// Opens the database at `path` for reading and writing, through the default
// file-system layer, as `use` says; only kCreator creates a missing file.
// Returns null when the open fails (the handle SQLite may give back then is
// closed already), after filling `failure` when one is given.
Connection OpenDatabase(const char* path, DatabaseUse use, OpenFailure* failure = nullptr);

// Runs `sql`, any number of statements, on `db`. False when one fails.
bool Execute(sqlite3* db, const char* sql);

// Prepares `sql` (up to its NUL) on `db`. Returns null when it cannot be
// prepared.
Statement Prepare(sqlite3* db, const char* sql);

// Whether `rc`, what a call on `db` returned (or sqlite3_open_v2, with `db`
// null), means that memory ran out: SQLITE_NOMEM, or an I/O error whose
// system call failed with ENOMEM, as mapping the write-ahead log's index
// does when the address space is full.
bool IsOutOfMemory(sqlite3* db, int rc);

#endif  // VELORANTIS_SHARED_SQLITE_HANDLES_H_
