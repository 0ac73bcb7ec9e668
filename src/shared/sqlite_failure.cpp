#include "shared/sqlite_failure.h"

#include <cerrno>
#include <cstring>

namespace {

std::string SqliteCauseOf(const char* text, int extendedCode, int systemErrno, const char* path) {
  std::string cause = std::string("sqlite \"") + text + "\" code " +
                      std::to_string(extendedCode & 0xff) + " (extended " +
                      std::to_string(extendedCode);
  if (systemErrno != 0) {
    cause += ", errno " + std::to_string(systemErrno) + " " + strerror(systemErrno);
  }
  return cause + ") at " + path;
}

}  // namespace

bool IsOutOfMemory(sqlite3* db, int rc) {
  // The low byte is the primary code, also of an extended one.
  const int primary = rc & 0xff;
  if (primary == SQLITE_NOMEM) return true;
  return primary == SQLITE_IOERR && db != nullptr && sqlite3_system_errno(db) == ENOMEM;
}

std::string SqliteCause(sqlite3* db, const char* path) {
  const int code = sqlite3_errcode(db);
  if (code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE) {
    return std::string("sqlite: no matching row at ") + path;
  }
  return SqliteCauseOf(sqlite3_errmsg(db), sqlite3_extended_errcode(db), sqlite3_system_errno(db),
                       path);
}

std::string SqliteOpenCause(const char* path, int code, int systemErrno) {
  return SqliteCauseOf(sqlite3_errstr(code), code, systemErrno, path);
}

Status SqliteFailed(sqlite3* db, int rc, Message failed) {
  const char* path = db != nullptr ? sqlite3_db_filename(db, "main") : nullptr;
  if (path == nullptr) path = "";
  // A call on no connection has no error of its own: its result's text.
  std::string cause = db != nullptr ? SqliteCause(db, path) : SqliteOpenCause(path, rc, 0);
  return Failed(IsOutOfMemory(db, rc) ? Message::kNotEnoughMemory : failed, std::move(cause));
}
