#include "shared/status_db.h"

#include "shared/sqlite_failure.h"
#include "shared/statement.h"

namespace {

constexpr Message kFailed = Message::kFailedDeviceId;

// Prepares the device query `sql` for `mac` and steps it once: `row` says
// whether it found one. A MAC that cannot be bound (longer than SQLite
// takes) fails.
Status StepDeviceQuery(sqlite3* db, const char* sql, const char* mac, Message failed,
                       Statement& statement, bool& row) {
  row = false;
  Status stepped = Prepare(db, sql, failed, statement);
  if (stepped.ok()) stepped = Bind(statement.get(), failed, mac);
  if (stepped.ok()) stepped = Step(statement.get(), failed, row);
  return stepped;
}

// No row where one was asked for: the lookup's failure all the same.
Status NoRow(sqlite3* db, Message failed) { return SqliteFailed(db, SQLITE_OK, failed); }

}  // namespace

Status ReadStoredCapture(const char* path, const char* mac, StoredCapture& capture) {
  capture = {};
  constexpr Message kUnread = Message::kCannotOpenDatabase;
  Connection db;
  if (Status opened = OpenDatabase(path, DatabaseUse::kStatusReader, kUnread, db); !opened.ok()) {
    return opened;
  }
  Statement statement;
  bool row = false;
  Status read = StepDeviceQuery(
      db.get(),
      "SELECT capture.status, capture.error FROM capture JOIN device ON capture.device = device.id "
      "WHERE device.mac = ?1",
      mac, kUnread, statement, row);
  if (read.ok() && row) {
    capture = {sqlite3_column_int64(statement.get(), 0) == 1,
               sqlite3_column_int64(statement.get(), 1)};
  }
  return read;
}

Status GetDeviceType(sqlite3* db, const char* mac, std::string& model) {
  Statement statement;
  bool row = false;
  const Status read =
      StepDeviceQuery(db, "SELECT model FROM device WHERE mac = ?", mac, kFailed, statement, row);
  const unsigned char* text = row ? sqlite3_column_text(statement.get(), 0) : nullptr;
  model = text != nullptr ? reinterpret_cast<const char*>(text) : "Unknown";
  if (text == nullptr && row && IsOutOfMemory(db, sqlite3_errcode(db))) {
    return SqliteFailed(db, sqlite3_errcode(db), kFailed);
  }
  return read.message == Message::kNotEnoughMemory ? read : Status{};
}

Status GetDeviceId(sqlite3* db, const char* mac, int64_t& id) {
  id = -1;
  Statement statement;
  bool row = false;
  Status read =
      StepDeviceQuery(db, "SELECT id FROM device WHERE mac = ?", mac, kFailed, statement, row);
  if (!read.ok()) return read;
  // A negative id names no device.
  if (!row || sqlite3_column_int64(statement.get(), 0) < 0) return NoRow(db, kFailed);
  id = sqlite3_column_int64(statement.get(), 0);
  return {};
}

Status GetStoredDevice(sqlite3* db, const char* mac, StoredDevice& device) {
  device = {};
  Statement statement;
  bool row = false;
  Status read = StepDeviceQuery(db, "SELECT id, model FROM device WHERE mac = ?", mac, kFailed,
                                statement, row);
  if (read.message == Message::kNotEnoughMemory) return read;
  if (read.ok() && !row) return NoRow(db, kFailed);
  if (!read.ok()) {
    // The two lookups, where they can differ: a table without one of the
    // columns, or a table page that cannot be read while the MAC index can
    // (the id comes from the index alone).
    statement.reset();
    if (Status found = GetDeviceId(db, mac, device.id); !found.ok()) return found;
    return GetDeviceType(db, mac, device.model);
  }
  if (sqlite3_column_int64(statement.get(), 0) < 0) return NoRow(db, kFailed);
  device.id = sqlite3_column_int64(statement.get(), 0);
  const unsigned char* model = sqlite3_column_text(statement.get(), 1);
  if (model == nullptr && IsOutOfMemory(db, sqlite3_errcode(db))) {
    return SqliteFailed(db, sqlite3_errcode(db), kFailed);
  }
  device.model = model != nullptr ? reinterpret_cast<const char*>(model) : "Unknown";
  return {};
}
