#include "shared/sqlite_handles.h"

#include <cerrno>

OpenFailure FailureOf(sqlite3* db, int rc) {
  if (db == nullptr) return {rc, 0};
  return {sqlite3_extended_errcode(db), sqlite3_system_errno(db)};
}

Connection OpenDatabase(const char* path, DatabaseUse use, OpenFailure* failure) {
  sqlite3* raw = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (use == DatabaseUse::kCreator ? SQLITE_OPEN_CREATE : 0);
  const int rc = sqlite3_open_v2(path, &raw, flags, nullptr);
  // A failed open may still hand back a handle that needs closing.
  Connection db(raw);
  if (rc != SQLITE_OK) {
    if (failure != nullptr) *failure = FailureOf(raw, rc);
    db.reset();
    return db;
  }
  if (use != DatabaseUse::kStatusReader) sqlite3_busy_timeout(db.get(), kDatabaseLockWaitMs);
  if (use == DatabaseUse::kStatusReader || use == DatabaseUse::kReader) {
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  }
  return db;
}

bool Execute(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

Statement Prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
  Statement statement(raw);
  if (rc != SQLITE_OK) statement.reset();
  return statement;
}

bool IsOutOfMemory(sqlite3* db, int rc) {
  // The low byte is the primary code, also of an extended one.
  const int primary = rc & 0xff;
  if (primary == SQLITE_NOMEM) return true;
  return primary == SQLITE_IOERR && db != nullptr && sqlite3_system_errno(db) == ENOMEM;
}
