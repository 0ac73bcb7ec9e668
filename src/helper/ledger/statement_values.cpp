#include "helper/ledger/statement_values.h"

bool BindText(sqlite3_stmt* statement, int index, const std::string& text) {
  return sqlite3_bind_text(statement, index, text.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK;
}

bool BindNumber(sqlite3_stmt* statement, int index, int64_t value) {
  return sqlite3_bind_int64(statement, index, value) == SQLITE_OK;
}

std::string TextColumn(sqlite3_stmt* row, int column) {
  const unsigned char* text = sqlite3_column_text(row, column);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

bool Run(sqlite3_stmt* statement) {
  int step;
  while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
  }
  return step == SQLITE_DONE;
}
