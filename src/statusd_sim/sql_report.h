// Failure reports of the stand-in daemon's database work.
#ifndef VELORANTIS_STATUSD_SIM_SQL_REPORT_H_
#define VELORANTIS_STATUSD_SIM_SQL_REPORT_H_

#include <sqlite3.h>

#include <cstdint>
#include <span>

#include "shared/status.h"

// The message the shared code gives the daemon's failures: it answers no
// request, so only their causes are written.
inline constexpr Message kStoreFailed = Message::kCannotOpenDatabase;

// Writes "velorantis-statusd-sim: DOING: SQLite's error text" to standard
// error. Returns false, for the caller to return in turn.
bool ReportSqlFailure(sqlite3* db, const char* doing);

// Steps `statement` to its end. Returns true when it finished (SQLITE_DONE);
// otherwise reports the failure as ReportSqlFailure does.
bool StepToEnd(sqlite3* db, sqlite3_stmt* statement, const char* doing);

// Binds `values` to the parameters numbered from `first` on, in order.
// Returns false, without reporting, when a bind fails: the statement would
// then store or match NULL instead of the value.
bool BindNumbers(sqlite3_stmt* statement, std::span<const int64_t> values, int first = 1);

#endif  // VELORANTIS_STATUSD_SIM_SQL_REPORT_H_
