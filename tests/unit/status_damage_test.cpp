// The status command against a database another process has locked or that
// is damaged: a clean failure, never a partial answer passed off as whole.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "status_fixture.h"

namespace {

const char kHealthy[] =
    "INSERT INTO device VALUES (5, 'dev', 'M');"
    "INSERT INTO capture VALUES (5, 0, 0, 0, 0, 0, 0);"
    "INSERT INTO stats_v1 (device, date) VALUES (5, 1), (5, 2);"
    "INSERT INTO stats_v2 (device, date) VALUES (5, 1), (5, 2);";

// A second connection, as another process would hold one.
class Connection {
 public:
  explicit Connection(const std::string& path) {
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  }
  ~Connection() { sqlite3_close(db_); }
  void Exec(const char* sql) {
    EXPECT_EQ(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr), SQLITE_OK)
        << sql << ": " << sqlite3_errmsg(db_);
  }

 private:
  sqlite3* db_ = nullptr;
};

class StatusDamageTest : public StatusTest {
 protected:
  void SetUp() override {
    StatusTest::SetUp();
    Exec(kHealthy);
  }

  bool Succeeds(const std::string& out) const {
    return out.compare(0, kStatusSuccess.size(), kStatusSuccess) == 0;
  }
};

TEST_F(StatusDamageTest, ExclusiveLockHeldElsewhere) {
  struct Case {
    const char* journalMode;
    const char* expected;  // null: a full answer
  };
  const Case cases[] = {
      // With a rollback journal the lock keeps every reader out; no busy
      // timeout, so the very first read fails at once.
      {"DELETE", "Failed to get device id"},
      // In WAL mode the writer's lock leaves readers alone.
      {"WAL", nullptr},
  };
  for (const Case& c : cases) {
    Exec(std::string("PRAGMA journal_mode = ") + c.journalMode);
    {
      Connection holder(db_);
      holder.Exec("BEGIN EXCLUSIVE");
      holder.Exec("INSERT INTO stats_v1 (device, date) VALUES (5, 0)");
      testing::internal::CaptureStderr();
      const std::string out = Status("mac=dev&limit=-1");
      EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.journalMode;
      if (c.expected != nullptr) {
        EXPECT_EQ(out, StatusFailure(c.expected)) << c.journalMode;
      } else {
        EXPECT_TRUE(Succeeds(out)) << c.journalMode << ": " << out;
        // The uncommitted sample is not seen.
        EXPECT_EQ(ParseStatus(out)["statsV1"]["date"], (std::vector<int>{1, 2})) << out;
      }
      holder.Exec("ROLLBACK");
    }
    // The failed request left no lock behind.
    EXPECT_TRUE(Succeeds(Status("mac=dev"))) << c.journalMode;
  }
}

TEST_F(StatusDamageTest, UnreadableTablePage) {
  struct Case {
    const char* table;
    std::string expected;  // the whole answer, or for a success its start
    int status;
  };
  const Case cases[] = {
      // The id comes from the MAC index alone; the model lookup, like any
      // lookup, reports a read error as "Unknown".
      {"device", kStatusSuccess + ",\n\"info\": {\n\"mac\": \"dev\",\"model\": \"Unknown\"},\n", 0},
      {"capture", StatusFailure("Failed to get device status"), -1},
      // The query prepares, its first step fails: a truncated series is no
      // answer.
      {"stats_v1", StatusFailure("Failed to get device v1 statistics"), -1},
      {"stats_v2", StatusFailure("Failed to get device v2 statistics"), -1},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string db = dir.File("velorantis.db");
    CreateFromSchema(db, "status.sql");
    ExecSql(db, kHealthy);
    CorruptTablePage(db, c.table);
    int status = 0;
    const std::string out = Status("mac=dev&limit=-1", db, &status);
    EXPECT_EQ(out.substr(0, c.status == 0 ? c.expected.size() : std::string::npos), c.expected)
        << c.table;
    EXPECT_EQ(status, c.status) << c.table;
  }
}

}  // namespace
