// A statement's whole life on one connection: prepared, its parameters
// bound, stepped through its rows or run to its end. Every step fails as a
// Status with the message the caller names for its database (memory that
// ran out as kNotEnoughMemory) and SQLite's cause with the path.
#ifndef VELORANTIS_SHARED_STATEMENT_H_
#define VELORANTIS_SHARED_STATEMENT_H_

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "shared/sqlite_handles.h"
#include "shared/status.h"

// Prepares `sql` (up to its NUL) on `db` into `statement`.
Status Prepare(sqlite3* db, const char* sql, Message failed, Statement& statement);

// Binds parameter `index` (from 1): a number, a text (copied), or NULL for
// a null text pointer.
Status BindValue(sqlite3_stmt* statement, int index, int64_t value, Message failed);
Status BindValue(sqlite3_stmt* statement, int index, const std::string& text, Message failed);
Status BindValue(sqlite3_stmt* statement, int index, const char* text, Message failed);

// Binds `values` to the parameters from 1 on, in order; stops at the first
// that fails.
template <typename... Values>
Status Bind([[maybe_unused]] sqlite3_stmt* statement, [[maybe_unused]] Message failed,
            const Values&... values) {
  Status bound;
  int index = 0;
  ((bound = bound.ok() ? BindValue(statement, ++index, values, failed) : bound), ...);
  return bound;
}

// Steps once: `row` says whether the statement stands on a row (false at
// its end).
Status Step(sqlite3_stmt* statement, Message failed, bool& row);

// Steps through every row, calling `each(statement)` on each.
template <typename Each>
Status ForEachRow(sqlite3_stmt* statement, Message failed, Each&& each) {
  bool row = false;
  Status stepped;
  while ((stepped = Step(statement, failed, row)).ok() && row) each(statement);
  return stepped;
}

// Steps `statement` to its end.
Status Run(sqlite3_stmt* statement, Message failed);

// Prepares `sql`, binds `values` and runs it to its end.
template <typename... Values>
Status Execute(sqlite3* db, Message failed, const char* sql, const Values&... values) {
  Statement statement;
  Status done = Prepare(db, sql, failed, statement);
  if (done.ok()) done = Bind(statement.get(), failed, values...);
  if (done.ok()) done = Run(statement.get(), failed);
  return done;
}

// Runs `sql`, any number of statements without parameters.
Status ExecuteScript(sqlite3* db, const char* sql, Message failed);

// Column `column` of the row `row` stands on, as text; "" for NULL.
std::string TextColumn(sqlite3_stmt* row, int column);

#endif  // VELORANTIS_SHARED_STATEMENT_H_
