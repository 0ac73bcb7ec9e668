#include "shared/transaction.h"

#include <sqlite3.h>

#include <cstdio>

namespace {

struct TransactionStatement {
  const char* sql;
  int line;  // the line number the daemon's log readers know each message by
  const char* failure;
};

constexpr TransactionStatement kStart = {"BEGIN TRANSACTION;", 124,
                                         "Velorantis Daemon : Failed to start transaction (%s)"};
constexpr TransactionStatement kCommit = {"COMMIT;", 139,
                                          "Velorantis Daemon : Failed to commit transaction (%s)"};
constexpr TransactionStatement kRollback = {
    "ROLLBACK;", 154, "Velorantis Daemon : Failed to rollback transaction (%s)"};

int Run(sqlite3* db, const TransactionStatement& statement) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db, statement.sql, nullptr, nullptr, &error);
  if (rc == SQLITE_OK) return 0;
  char message[512];
  std::snprintf(message, sizeof message, statement.failure,
                error != nullptr ? error : sqlite3_errstr(rc));
  // Standard error reaches the web server's log; standard output is the
  // response, which this line would corrupt. One call, so one write.
  std::fprintf(stderr, "%s:%d - %s\n", "shared", statement.line, message);
  sqlite3_free(error);
  return rc;
}

}  // namespace

int StartTransaction(sqlite3* db) { return Run(db, kStart); }

int CommitTransaction(sqlite3* db) { return Run(db, kCommit); }

int RollbackTransaction(sqlite3* db) { return Run(db, kRollback); }
