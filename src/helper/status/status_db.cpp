#include "helper/status/status_db.h"

namespace {

// Steps the device query `sql` for `mac` once; null when it yields no row.
Statement FindDevice(sqlite3* db, const char* sql, const char* mac) {
  Statement statement = Prepare(db, sql);
  if (!statement) return statement;
  // SQLITE_STATIC: the caller's text outlives the statement.
  sqlite3_bind_text(statement.get(), 1, mac, -1, SQLITE_STATIC);
  if (sqlite3_step(statement.get()) != SQLITE_ROW) statement.reset();
  return statement;
}

}  // namespace

StatusDb OpenStatusDatabase(const char* path) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path, &raw, SQLITE_OPEN_READWRITE, nullptr);
  // A failed open may still hand back a handle that needs closing.
  StatusDb db(raw, &sqlite3_close);
  if (rc != SQLITE_OK) db.reset();
  return db;
}

Statement Prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
  Statement statement(raw, &sqlite3_finalize);
  if (rc != SQLITE_OK) statement.reset();
  return statement;
}

int64_t GetDeviceId(sqlite3* db, const char* mac) {
  Statement row = FindDevice(db, "SELECT id FROM device WHERE mac = ?", mac);
  return row ? sqlite3_column_int64(row.get(), 0) : -1;
}

std::string GetDeviceType(sqlite3* db, const char* mac) {
  Statement row = FindDevice(db, "SELECT model FROM device WHERE mac = ?", mac);
  const unsigned char* model = row ? sqlite3_column_text(row.get(), 0) : nullptr;
  return model != nullptr ? reinterpret_cast<const char*>(model) : "Unknown";
}
