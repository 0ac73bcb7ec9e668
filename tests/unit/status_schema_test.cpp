// The shipped status schema serves the status command's window queries from
// an index, so a request's cost follows its window, not the table's size.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "helper/status/stats_tables.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"

namespace {

// The detail lines of the statement's query plan.
std::vector<std::string> Plan(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_stmt* statement = nullptr;
  std::vector<std::string> details;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  const std::string explain = "EXPLAIN QUERY PLAN " + sql;
  EXPECT_EQ(sqlite3_prepare_v2(db, explain.c_str(), -1, &statement, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  while (sqlite3_step(statement) == SQLITE_ROW) {
    details.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 3)));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return details;
}

TEST(StatusSchema, WindowQueriesSearchAnIndexAndNeedNoSort) {
  TempDir dir;
  const std::string db = dir.File("velorantis.db");
  CreateFromSchema(db, "status.sql");
  struct Case {
    const StatsTable* table;
    const char* index;
  };
  const Case cases[] = {{&kStatsV1, "stats_v1_device_date"}, {&kStatsV2, "stats_v2_device_date"}};
  for (const Case& c : cases) {
    const std::vector<std::string> plan = Plan(db, c.table->query);
    ASSERT_EQ(plan.size(), 1u) << c.table->node;
    EXPECT_EQ(plan[0].rfind("SEARCH ", 0), 0u) << plan[0];
    EXPECT_NE(plan[0].find(std::string("USING INDEX ") + c.index + " (device=? AND date>?)"),
              std::string::npos)
        << plan[0];
  }
}

}  // namespace
