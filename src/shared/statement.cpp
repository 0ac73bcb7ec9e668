#include "shared/statement.h"

#include "shared/sqlite_failure.h"

namespace {

Status Checked(sqlite3* db, int rc, Message failed) {
  return rc == SQLITE_OK ? Status{} : SqliteFailed(db, rc, failed);
}

}  // namespace

Status Prepare(sqlite3* db, const char* sql, Message failed, Statement& statement) {
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
  statement.reset(raw);
  if (rc != SQLITE_OK) statement.reset();
  return Checked(db, rc, failed);
}

Status BindValue(sqlite3_stmt* statement, int index, int64_t value, Message failed) {
  return Checked(sqlite3_db_handle(statement), sqlite3_bind_int64(statement, index, value), failed);
}

Status BindValue(sqlite3_stmt* statement, int index, const std::string& text, Message failed) {
  return BindValue(statement, index, text.c_str(), failed);
}

Status BindValue(sqlite3_stmt* statement, int index, const char* text, Message failed) {
  const int rc = text != nullptr ? sqlite3_bind_text(statement, index, text, -1, SQLITE_TRANSIENT)
                                 : sqlite3_bind_null(statement, index);
  return Checked(sqlite3_db_handle(statement), rc, failed);
}

Status Step(sqlite3_stmt* statement, Message failed, bool& row) {
  const int rc = sqlite3_step(statement);
  row = rc == SQLITE_ROW;
  if (rc == SQLITE_ROW || rc == SQLITE_DONE) return {};
  return SqliteFailed(sqlite3_db_handle(statement), rc, failed);
}

Status Run(sqlite3_stmt* statement, Message failed) {
  return ForEachRow(statement, failed, [](sqlite3_stmt*) {});
}

Status ExecuteScript(sqlite3* db, const char* sql, Message failed) {
  return Checked(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr), failed);
}

std::string TextColumn(sqlite3_stmt* row, int column) {
  const unsigned char* text = sqlite3_column_text(row, column);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}
