#include "helper/audit_store/audit_store.h"

#include "shared/statement.h"

namespace {

constexpr Message kFailed = Message::kCannotLoadAudit;

constexpr char kInsert[] =
    "INSERT INTO audit (time, user, address, command, mac, capture, fromtime, totime, result, "
    "message, bytes, byterange, filter) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, "
    "?12, ?13)";
constexpr char kSetBytes[] = "UPDATE audit SET bytes = ?2 WHERE id = ?1";
constexpr char kTrim[] = "DELETE FROM audit WHERE id <= ?1";
// Of every user (?1 unused) or of user ?1, by the index of each user's ids:
// a page costs the same however long the trail.
#define VELORANTIS_AUDIT_COLUMNS                                                               \
  "SELECT id, time, user, address, command, mac, capture, fromtime, totime, result, message, " \
  "bytes, byterange, filter FROM audit WHERE "
constexpr char kSelectAll[] = VELORANTIS_AUDIT_COLUMNS "id < ?2 ORDER BY id DESC LIMIT ?3";
constexpr char kSelectUser[] =
    VELORANTIS_AUDIT_COLUMNS "user = ?1 AND id < ?2 ORDER BY id DESC LIMIT ?3";
#undef VELORANTIS_AUDIT_COLUMNS

AuditEntry EntryOf(sqlite3_stmt* row) {
  AuditEntry entry;
  entry.id = sqlite3_column_int64(row, 0);
  entry.time = sqlite3_column_int64(row, 1);
  std::string* texts[] = {&entry.user,    &entry.address, &entry.command, &entry.mac,
                          &entry.capture, &entry.from,    &entry.to};
  int column = 2;
  for (std::string* text : texts) *text = TextColumn(row, column++);
  entry.result = sqlite3_column_int64(row, 9);
  entry.message = TextColumn(row, 10);
  entry.bytes = sqlite3_column_int64(row, 11);
  entry.range = TextColumn(row, 12);
  entry.filter = TextColumn(row, 13);
  return entry;
}

}  // namespace

Status AppendAudit(sqlite3* db, const AuditEntry& entry, int64_t& id) {
  Status appended = Execute(db, kFailed, kInsert, entry.time, entry.user, entry.address,
                            entry.command, entry.mac, entry.capture, entry.from, entry.to,
                            entry.result, entry.message, entry.bytes, entry.range, entry.filter);
  if (!appended.ok()) return appended;
  // Ids only grow, so the newest rows are the last kAuditRows ids.
  id = sqlite3_last_insert_rowid(db);
  return Execute(db, kFailed, kTrim, id - kAuditRows);
}

Status RecordAuditBytes(sqlite3* db, int64_t id, int64_t bytes) {
  return Execute(db, kFailed, kSetBytes, id, bytes);
}

Status ListAudit(sqlite3* db, const char* user, int64_t limit, int64_t before,
                 std::vector<AuditEntry>& entries) {
  entries.clear();
  Statement select;
  const int64_t below = before > 0 ? before : INT64_MAX;
  Status read = Prepare(db, user != nullptr ? kSelectUser : kSelectAll, kFailed, select);
  if (read.ok()) read = Bind(select.get(), kFailed, user, below, limit);
  if (read.ok()) {
    read = ForEachRow(select.get(), kFailed,
                      [&entries](sqlite3_stmt* row) { entries.push_back(EntryOf(row)); });
  }
  return read;
}
