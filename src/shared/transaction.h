// The transaction bracket around the status command's reads. Shared with the
// status daemon, whose name the failure lines carry.
#ifndef VELORANTIS_SHARED_TRANSACTION_H_
#define VELORANTIS_SHARED_TRANSACTION_H_

struct sqlite3;

// Each runs one statement ("BEGIN TRANSACTION;", "COMMIT;", "ROLLBACK;") on
// `db`, an open connection the caller keeps owning. Returns 0 on success,
// otherwise SQLite's result code; a failure also writes one line to standard
// error, never standard output, where it would stand ahead of the CGI header:
//   shared:124 - Velorantis Daemon : Failed to start transaction (TEXT)
// with 139 "commit" and 154 "rollback" for the other two, TEXT being SQLite's
// error text, or the generic text of the result code when SQLite gave none.
int StartTransaction(sqlite3* db);
int CommitTransaction(sqlite3* db);
int RollbackTransaction(sqlite3* db);

#endif  // VELORANTIS_SHARED_TRANSACTION_H_
