// Owned SQLite connections and statements: closed and finalized on every path
// by going out of scope.
#ifndef VELORANTIS_SHARED_SQLITE_HANDLES_H_
#define VELORANTIS_SHARED_SQLITE_HANDLES_H_

#include <sqlite3.h>

#include <memory>

#include "shared/status.h"

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

// Opens the database at `path` for reading and writing into `db`, through
// the default file-system layer, as `use` says; only kCreator creates a
// missing file. Fails with `failed` (kNotEnoughMemory when memory ran out)
// and SQLite's cause with the path; `db` is then null.
Status OpenDatabase(const char* path, DatabaseUse use, Message failed, Connection& db);

#endif  // VELORANTIS_SHARED_SQLITE_HANDLES_H_
