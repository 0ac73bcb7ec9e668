#include "helper/ledger/audit_store.h"

#include "helper/ledger/statement_values.h"
#include "shared/sqlite_handles.h"

namespace {

constexpr char kInsert[] =
    "INSERT INTO audit (time, user, address, command, mac, capture, fromtime, totime, result, "
    "message, bytes, byterange, filter) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, "
    "?12, ?13)";
constexpr char kSetBytes[] = "UPDATE audit SET bytes = ?2 WHERE id = ?1";
constexpr char kTrim[] = "DELETE FROM audit WHERE id <= ?1";
constexpr char kSelect[] =
    "SELECT id, time, user, address, command, mac, capture, fromtime, totime, result, message, "
    "bytes, byterange, filter FROM audit WHERE (?1 IS NULL OR user = ?1) AND (?2 <= 0 OR id < ?2) "
    "ORDER BY id DESC LIMIT ?3";

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

int64_t AppendAudit(sqlite3* db, const AuditEntry& entry) {
  Statement insert = Prepare(db, kInsert);
  bool bound = insert && BindNumber(insert.get(), 1, entry.time);
  int index = 2;
  for (const std::string* text : {&entry.user, &entry.address, &entry.command, &entry.mac,
                                  &entry.capture, &entry.from, &entry.to}) {
    bound = bound && BindText(insert.get(), index++, *text);
  }
  if (!bound || !BindNumber(insert.get(), 9, entry.result) ||
      !BindText(insert.get(), 10, entry.message) || !BindNumber(insert.get(), 11, entry.bytes) ||
      !BindText(insert.get(), 12, entry.range) || !BindText(insert.get(), 13, entry.filter) ||
      !Run(insert.get())) {
    return -1;
  }
  // Ids only grow, so the newest rows are the last kAuditRows ids.
  const int64_t id = sqlite3_last_insert_rowid(db);
  Statement trim = Prepare(db, kTrim);
  return trim && BindNumber(trim.get(), 1, id - kAuditRows) && Run(trim.get()) ? id : -1;
}

bool RecordAuditBytes(sqlite3* db, int64_t id, int64_t bytes) {
  Statement update = Prepare(db, kSetBytes);
  return update && BindNumber(update.get(), 1, id) && BindNumber(update.get(), 2, bytes) &&
         Run(update.get());
}

std::optional<std::vector<AuditEntry>> ListAudit(sqlite3* db, const char* user, int64_t limit,
                                                 int64_t before) {
  Statement select = Prepare(db, kSelect);
  if (!select || (user != nullptr && !BindText(select.get(), 1, user)) ||
      !BindNumber(select.get(), 2, before) || !BindNumber(select.get(), 3, limit)) {
    return std::nullopt;
  }
  std::vector<AuditEntry> entries;
  int step;
  while ((step = sqlite3_step(select.get())) == SQLITE_ROW)
    entries.push_back(EntryOf(select.get()));
  if (step != SQLITE_DONE) return std::nullopt;
  return entries;
}
