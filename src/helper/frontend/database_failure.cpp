#include "helper/frontend/database_failure.h"

#include "helper/frontend/failure_log.h"
#include "helper/frontend/memory_budget.h"

void ThrowIfOutOfMemory(sqlite3* db, int rc) {
  if (IsOutOfMemory(db, rc)) ThrowOutOfMemory();
}

Status DatabaseFailed(Message message, sqlite3* db, const char* path) {
  ThrowIfOutOfMemory(db, sqlite3_errcode(db));
  return Failed(message, SqliteCause(db, path));
}

std::string OpenFailureCause(const char* path, const OpenFailure& failure) {
  if (failure.newerVersion != 0) {
    return std::string(path) + ": made by a later version (user_version " +
           std::to_string(failure.newerVersion) + ")";
  }
  return SqliteOpenCause(path, failure.code, failure.systemErrno);
}

Status OpenFailed(Message message, const char* path, const OpenFailure& failure) {
  if (failure.newerVersion != 0) {
    return Failed(Message::kRecordsTooNew, OpenFailureCause(path, failure));
  }
  ThrowIfOutOfMemory(nullptr, failure.code);
  return Failed(message, OpenFailureCause(path, failure));
}
