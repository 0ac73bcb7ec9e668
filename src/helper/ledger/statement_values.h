// The values of the records database's statements: binding a request's
// texts and numbers, reading a row's texts, stepping a write to its end.
#ifndef VELORANTIS_HELPER_LEDGER_STATEMENT_VALUES_H_
#define VELORANTIS_HELPER_LEDGER_STATEMENT_VALUES_H_

#include <sqlite3.h>

#include <cstdint>
#include <string>

// Binds parameter `index` (from 1); false when SQLite refuses.
bool BindText(sqlite3_stmt* statement, int index, const std::string& text);
bool BindNumber(sqlite3_stmt* statement, int index, int64_t value);

// Column `column` of the row `row` stands on, as text; "" for NULL.
std::string TextColumn(sqlite3_stmt* row, int column);

// Steps `statement` to its end; false when a step fails.
bool Run(sqlite3_stmt* statement);

#endif  // VELORANTIS_HELPER_LEDGER_STATEMENT_VALUES_H_
