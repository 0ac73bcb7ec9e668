#include "shared/status_db.h"

namespace {

// Steps the device query `sql` for `mac` once; null when it yields no row.
Statement StepDeviceQuery(sqlite3* db, const char* sql, const char* mac) {
  Statement statement = Prepare(db, sql);
  if (!statement) return statement;
  // SQLITE_STATIC: the caller's text outlives the statement. A MAC that
  // cannot be bound (longer than SQLite takes) names no device.
  if (sqlite3_bind_text(statement.get(), 1, mac, -1, SQLITE_STATIC) != SQLITE_OK ||
      sqlite3_step(statement.get()) != SQLITE_ROW) {
    statement.reset();
  }
  return statement;
}

}  // namespace

StoredCapture ReadStoredCapture(const char* path, const char* mac) {
  Connection db = OpenDatabase(path, DatabaseUse::kStatusReader);
  if (!db) return {};
  Statement row = StepDeviceQuery(
      db.get(),
      "SELECT capture.status, capture.error FROM capture JOIN device ON capture.device = device.id "
      "WHERE device.mac = ?1",
      mac);
  if (!row) return {};
  return {sqlite3_column_int64(row.get(), 0) == 1, sqlite3_column_int64(row.get(), 1)};
}

int64_t GetDeviceId(sqlite3* db, const char* mac) {
  Statement row = StepDeviceQuery(db, "SELECT id FROM device WHERE mac = ?", mac);
  return row ? sqlite3_column_int64(row.get(), 0) : -1;
}

StoredDevice GetStoredDevice(sqlite3* db, const char* mac) {
  Statement statement = Prepare(db, "SELECT id, model FROM device WHERE mac = ?");
  const int rc = !statement ? SQLITE_ERROR
                 : sqlite3_bind_text(statement.get(), 1, mac, -1, SQLITE_STATIC) != SQLITE_OK
                     ? SQLITE_RANGE
                     : sqlite3_step(statement.get());
  if (rc == SQLITE_DONE) return {-1, ""};
  if (rc != SQLITE_ROW) {
    // The two lookups, where they can differ: a table without one of the
    // columns, or a table page that cannot be read while the MAC index can
    // (the id comes from the index alone).
    statement.reset();
    const int64_t id = GetDeviceId(db, mac);
    return {id, id < 0 ? "" : GetDeviceType(db, mac)};
  }
  const unsigned char* model = sqlite3_column_text(statement.get(), 1);
  return {sqlite3_column_int64(statement.get(), 0),
          model != nullptr ? reinterpret_cast<const char*>(model) : "Unknown"};
}

std::string GetDeviceType(sqlite3* db, const char* mac) {
  Statement row = StepDeviceQuery(db, "SELECT model FROM device WHERE mac = ?", mac);
  const unsigned char* model = row ? sqlite3_column_text(row.get(), 0) : nullptr;
  return model != nullptr ? reinterpret_cast<const char*>(model) : "Unknown";
}
