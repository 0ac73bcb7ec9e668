#include "shared/sqlite_handles.h"

#include "shared/sqlite_failure.h"

Status OpenDatabase(const char* path, DatabaseUse use, Message failed, Connection& db) {
  sqlite3* raw = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (use == DatabaseUse::kCreator ? SQLITE_OPEN_CREATE : 0);
  const int rc = sqlite3_open_v2(path, &raw, flags, nullptr);
  // A failed open may still hand back a handle that needs closing.
  db.reset(raw);
  if (rc != SQLITE_OK) {
    const int code = raw != nullptr ? sqlite3_extended_errcode(raw) : rc;
    const int systemErrno = raw != nullptr ? sqlite3_system_errno(raw) : 0;
    const bool outOfMemory = IsOutOfMemory(raw, code);
    db.reset();
    return Failed(outOfMemory ? Message::kNotEnoughMemory : failed,
                  SqliteOpenCause(path, code, systemErrno));
  }
  if (use != DatabaseUse::kStatusReader) sqlite3_busy_timeout(db.get(), kDatabaseLockWaitMs);
  if (use == DatabaseUse::kStatusReader || use == DatabaseUse::kReader) {
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  }
  return {};
}
