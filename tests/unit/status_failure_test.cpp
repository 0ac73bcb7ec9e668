// The status command's failures: each answers with only its result node, in
// the order the command meets them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "shared/sqlite_handles.h"
#include "shared/status_db.h"
#include "status_fixture.h"

namespace {

// Everything a successful answer needs for device "dev", before faults.
const char kHealthy[] =
    "INSERT INTO device VALUES (5, 'dev', 'M');"
    "INSERT INTO capture VALUES (5, 0, 0, 0, 0, 0, 0);"
    "INSERT INTO stats_v1 (device, date) VALUES (5, 1);"
    "INSERT INTO stats_v2 (device, date) VALUES (5, 1);";

class StatusFailureTest : public StatusTest {
 protected:
  void SetUp() override {
    StatusTest::SetUp();
    Exec(kHealthy);
  }
};

TEST_F(StatusFailureTest, HealthyDatabaseAnswers) {
  const std::string out = Status("mac=dev");
  EXPECT_EQ(out.compare(0, kStatusSuccess.size(), kStatusSuccess), 0) << out;
  EXPECT_TRUE(ParseStatus(out).contains("statsV2")) << out;
}

// Each row breaks its own step and every step after it, so its message shows
// that the earlier steps run first.
TEST_F(StatusFailureTest, FirstFailingStepDecidesTheMessage) {
  struct Case {
    const char* query;
    bool removeFile;
    const char* damage;  // SQL run against the healthy database
    const char* message;
  };
  const Case cases[] = {
      {"", true, "", "Invalid MAC address"},
      {"from=1&limit=2", true, "", "Invalid MAC address"},
      {"mac=dev", true, "", "Cannot open database"},
      {"mac=nobody", false, "DROP TABLE capture; DROP TABLE stats_v1; DROP TABLE stats_v2;",
       "Failed to get device id"},
      {"mac=dev", false, "DROP TABLE capture; DROP TABLE stats_v1; DROP TABLE stats_v2;",
       "Failed to get device capture status"},
      {"mac=dev", false, "DELETE FROM capture; DROP TABLE stats_v1; DROP TABLE stats_v2;",
       "Failed to get device status"},
      {"mac=dev", false, "DROP TABLE stats_v1; DROP TABLE stats_v2;",
       "Failed to get device v1 statistics"},
      // Version 1 samples were found; the answer still fails.
      {"mac=dev", false, "DROP TABLE stats_v2;", "Failed to get device v2 statistics"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string db = dir.File("velorantis.db");
    if (!c.removeFile) {
      CreateFromSchema(db, "status.sql");
      ExecSql(db, std::string(kHealthy) + c.damage);
    }
    int status = 0;
    EXPECT_EQ(Status(c.query, db, &status), StatusFailure(c.message)) << c.query << c.damage;
    EXPECT_EQ(status, -1) << c.query << c.damage;
    EXPECT_EQ(access(db.c_str(), F_OK) == 0, !c.removeFile) << "file created: " << c.query;
  }
}

TEST_F(StatusFailureTest, DeviceLookupIsExact) {
  struct Case {
    const char* setup;
    const char* query;
  };
  const Case cases[] = {
      {"", "mac="},
      {"INSERT INTO device VALUES (6, '00:11:22:33:44:aa', 'M');", "mac=00:11:22:33:44:AA"},
      {"INSERT INTO device VALUES (6, '00:11:22:33:44:aa', 'M');", "mac=00-11-22-33-44-aa"},
      {"INSERT INTO device VALUES (6, '00:11:22:33:44:aa', 'M');", "mac=00:11:22:33:44:aa%20"},
      // A negative id counts as no device, even with a capture row.
      {"INSERT INTO device VALUES (-6, 'negative', 'M');"
       "INSERT INTO capture VALUES (-6, 0, 0, 0, 0, 0, 0);",
       "mac=negative"},
  };
  for (const Case& c : cases) {
    Exec(std::string("DELETE FROM device WHERE id <> 5;") + c.setup);
    EXPECT_EQ(Status(c.query), StatusFailure("Failed to get device id")) << c.query;
  }
}

TEST_F(StatusFailureTest, QueriesThatCannotBePreparedFailTheirStep) {
  struct Case {
    const char* damage;
    const char* message;
  };
  const Case cases[] = {
      {"DROP TABLE device;", "Failed to get device id"},
      {"ALTER TABLE capture DROP COLUMN dropped;", "Failed to get device capture status"},
      {"ALTER TABLE stats_v1 DROP COLUMN p2_hardwaredropped;",
       "Failed to get device v1 statistics"},
      {"ALTER TABLE stats_v2 DROP COLUMN counter16;", "Failed to get device v2 statistics"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string db = dir.File("velorantis.db");
    CreateFromSchema(db, "status.sql");
    ExecSql(db, std::string(kHealthy) + c.damage);
    int status = 0;
    EXPECT_EQ(Status("mac=dev", db, &status), StatusFailure(c.message)) << c.damage;
  }
}

// A MAC longer than the connection takes cannot be bound; the lookups then
// find no device, never the rows an unbound (NULL) parameter would match.
TEST_F(StatusFailureTest, MacThatCannotBeBoundNamesNoDevice) {
  Exec("INSERT INTO device VALUES (6, 'a-longer-mac', 'L');");
  Connection db;
  ASSERT_TRUE(
      OpenDatabase(db_.c_str(), DatabaseUse::kStatusReader, Message::kCannotOpenDatabase, db).ok());
  // The schema is read first: its text is longer than the limit.
  ASSERT_EQ(sqlite3_exec(db.get(), "SELECT 1 FROM device", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_limit(db.get(), SQLITE_LIMIT_LENGTH, 10);
  struct Case {
    const char* mac;
    int64_t id;
    const char* model;
  };
  const Case cases[] = {{"dev", 5, "M"}, {"a-longer-mac", -1, "Unknown"}};
  for (const Case& c : cases) {
    int64_t id = -1;
    std::string model;
    EXPECT_EQ(GetDeviceId(db.get(), c.mac, id).ok(), c.id >= 0) << c.mac;
    EXPECT_EQ(id, c.id) << c.mac;
    EXPECT_TRUE(GetDeviceType(db.get(), c.mac, model).ok()) << c.mac;
    EXPECT_EQ(model, c.model) << c.mac;
  }
}

// The one-statement lookup answers as the two would, also for a table
// without the model column.
TEST_F(StatusFailureTest, StoredDeviceAsTheTwoLookups) {
  for (const char* damage : {"", "ALTER TABLE device DROP COLUMN model;"}) {
    Exec(damage);
    Connection db;
    ASSERT_TRUE(
        OpenDatabase(db_.c_str(), DatabaseUse::kStatusReader, Message::kCannotOpenDatabase, db)
            .ok());
    for (const char* mac : {"dev", "nobody"}) {
      StoredDevice device;
      int64_t id = -1;
      EXPECT_EQ(GetStoredDevice(db.get(), mac, device).ok(), GetDeviceId(db.get(), mac, id).ok())
          << damage << mac;
      EXPECT_EQ(device.id, id) << damage << mac;
      if (device.id >= 0) {
        std::string model;
        EXPECT_TRUE(GetDeviceType(db.get(), mac, model).ok()) << damage << mac;
        EXPECT_EQ(device.model, model) << damage << mac;
      }
    }
  }
}

}  // namespace
