// The records database's usage summary: what its triggers keep equals what a
// scan of the ledger finds, after any mix of changes, and after a writer
// killed in the middle of one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>

#include "support/sqlite_file.h"
#include "support/temp_dir.h"

namespace {

const char* const kStates[] = {"starting", "running", "stopped", "ended",
                               "gone",     "failed",  "deleted", "missing"};
const char* const kFolders[] = {"/a/", "/a/b/", "/c/", ""};

// One random change of a capture row: a claim, an end, a removal, a rename
// aside, a trim.
std::string RandomChange(std::mt19937& random) {
  const auto pick = [&random](int n) { return static_cast<int>(random() % n); };
  const std::string state = std::string("'") + kStates[pick(8)] + "'";
  const std::string file =
      std::string("'") + kFolders[pick(4)] + "f" + std::to_string(pick(5)) + "'";
  const std::string size = std::to_string(pick(4) - 1) + std::to_string(pick(100000));
  switch (pick(5)) {
    case 0:
      return "INSERT INTO captures (mac, file, loop, count, size, duration, inline, slicing, "
             "state, started, startedby, startedfrom, filesize) VALUES ('m', " +
             file + ", 0, 0, 0, 0, 0, 0, " + state + ", 0, '-', '-', " + size + ");";
    case 1:
      return "UPDATE captures SET state = " + state + ", filesize = " + size +
             " WHERE id = (SELECT id FROM captures ORDER BY random() LIMIT 1);";
    case 2:
      return "UPDATE captures SET filesize = " + size +
             " WHERE id = (SELECT id FROM captures ORDER BY random() LIMIT 1);";
    case 3:
      return "UPDATE captures SET file = " + file +
             " WHERE id = (SELECT id FROM captures ORDER BY random() LIMIT 1);";
    default:
      return "DELETE FROM captures WHERE id = (SELECT id FROM captures ORDER BY random() LIMIT 1);";
  }
}

void ExpectSummaryOfScan(const std::string& db, const std::string& when) {
  EXPECT_EQ(QueryText(db, "SELECT keptbytes FROM usage"),
            QueryText(db,
                      "SELECT coalesce(sum(max(filesize, 0)), 0) FROM captures "
                      "WHERE state IN ('stopped', 'ended', 'gone')"))
      << when;
  EXPECT_EQ(QueryText(db,
                      "SELECT group_concat(folder || ':' || captures) FROM "
                      "(SELECT * FROM folders ORDER BY folder)"),
            QueryText(db,
                      "SELECT group_concat(folder || ':' || n) FROM (SELECT rtrim(file, "
                      "replace(file, '/', '')) AS folder, count(*) AS n FROM captures "
                      "GROUP BY folder ORDER BY folder)"))
      << when;
}

TEST(RecordsUsage, TriggersKeepWhatAScanFinds) {
  const TempDir dir;
  const std::string db = dir.File("records.db");
  CreateFromSchema(db, "records.sql");
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    std::string changes = "BEGIN;";
    for (int i = 0; i < 25; ++i) changes += RandomChange(random);
    ExecSql(db, changes + "COMMIT;");
    ExpectSummaryOfScan(db, "round " + std::to_string(round));
  }
  // A writer killed in the middle of its transaction leaves the summary as
  // the rows it left.
  for (int round = 0; round < 5; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::string changes = "BEGIN;";
      for (int i = 0; i < 25; ++i) changes += RandomChange(random);
      sqlite3* writer = nullptr;
      if (sqlite3_open(db.c_str(), &writer) == SQLITE_OK) {
        sqlite3_exec(writer, changes.c_str(), nullptr, nullptr, nullptr);
      }
      raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    ExpectSummaryOfScan(db, "after kill " + std::to_string(round));
  }
  // A file made before the summary gets it counted from its rows.
  ExecSql(db, "DROP TABLE usage; DROP TABLE folders;");
  CreateFromSchema(db, "records.sql");
  ExpectSummaryOfScan(db, "counted anew");
}

}  // namespace
