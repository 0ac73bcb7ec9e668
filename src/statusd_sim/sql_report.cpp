#include "sql_report.h"

#include <cstdio>

bool ReportSqlFailure(sqlite3* db, const char* doing) {
  std::fprintf(stderr, "velorantis-statusd-sim: %s: %s\n", doing, sqlite3_errmsg(db));
  return false;
}

bool StepToEnd(sqlite3* db, sqlite3_stmt* statement, const char* doing) {
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
  }
  return rc == SQLITE_DONE || ReportSqlFailure(db, doing);
}

bool BindNumbers(sqlite3_stmt* statement, std::span<const int64_t> values, int first) {
  for (int64_t value : values) {
    if (sqlite3_bind_int64(statement, first++, value) != SQLITE_OK) return false;
  }
  return true;
}
