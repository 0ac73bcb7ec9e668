// StoreConfiguration against real SQLite files made from schema/config.sql.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <string>

#include "helper/config/config_store.h"
#include "helper/capture_settings/capture_settings.h"
#include "shared/sqlite_handles.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"

namespace {

struct Records {
  VelorantisAPIDeviceFeatures features{};
  VelorantisAPIDiskDumpConfig config{};
};

Records MakeRecords(const std::string& destination, uint32_t loop, uint32_t count, uint64_t size,
                    uint32_t duration, uint32_t inlineEnabled, uint32_t slicingEnabled,
                    uint16_t slicingValue) {
  Records records;
  records.config.destination = WidenDestination(destination.c_str());
  records.config.loop = loop;
  records.config.count = count;
  records.config.size = size;
  records.config.duration = duration;
  records.features.inlineEnabled = inlineEnabled;
  records.features.slicingEnabled = slicingEnabled;
  records.features.slicingValue = slicingValue;
  return records;
}

constexpr char kNumbersQuery[] =
    "SELECT loop || ' ' || count || ' ' || size || ' ' || duration || ' ' || inline || ' ' || "
    "slicing FROM config WHERE mac = 'default'";
constexpr char kDestinationQuery[] = "SELECT destination FROM config WHERE mac = 'default'";
constexpr char kRowQuery[] =
    "SELECT quote(destination) || ' ' || loop || ' ' || count || ' ' || size || ' ' || duration "
    "|| ' ' || inline || ' ' || slicing FROM config";

class StoreConfigurationTest : public ::testing::Test {
 protected:
  void SetUp() override { CreateFromSchema(db_, "config.sql"); }

  TempDir dir_;
  std::string db_ = dir_.File("config.db");
};

TEST_F(StoreConfigurationTest, RecordsToRowAndBack) {
  struct Case {
    const char* name;
    Records records;
    std::string numbers;  // loop count size duration inline slicing, as stored
  };
  const Case cases[] = {
      {"typical", MakeRecords("/data/cap", 1, 10, 100u << 20, 60, 1, 1, 128),
       "1 10 104857600 60 1 128"},
      {"all off", MakeRecords("", 0, 0, 0, 0, 0, 0, 0), "0 0 0 0 0 0"},
      {"only 1 means on", MakeRecords("/x", 2, 0, 0, 0, 7, 0, 0), "0 0 0 0 0 0"},
      {"count 2^31", MakeRecords("/x", 0, 2147483648u, 0, 0, 1, 0, 0), "0 -2147483648 0 0 1 0"},
      {"count 2^32-1", MakeRecords("/x", 0, 4294967295u, 0, 0, 1, 0, 0), "0 -1 0 0 1 0"},
      {"largest duration", MakeRecords("/x", 0, 0, 0, 4294967295u, 1, 0, 0),
       "0 0 0 4294967295 1 0"},
      {"largest size", MakeRecords("/x", 0, 0, UINT64_MAX, 0, 1, 0, 0), "0 0 -1 0 1 0"},
      {"slicing flag not stored", MakeRecords("/x", 0, 0, 0, 0, 1, 1, 0), "0 0 0 0 1 0"},
      {"slicing value stored", MakeRecords("/x", 0, 0, 0, 0, 1, 0, 65535), "0 0 0 0 1 65535"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(StoreConfiguration(db_.c_str(), c.records.features, c.records.config), 0);
    EXPECT_EQ(QueryText(db_, kNumbersQuery), c.numbers);
    Records loaded;
    ASSERT_EQ(LoadConfiguration(db_.c_str(), loaded.features, loaded.config), 0);
    EXPECT_EQ(loaded.config.count, c.records.config.count);
    EXPECT_EQ(loaded.config.size, c.records.config.size);
    EXPECT_EQ(loaded.config.duration, c.records.config.duration);
    EXPECT_EQ(loaded.features.slicingValue, c.records.features.slicingValue);
  }
}

TEST_F(StoreConfigurationTest, DestinationIsStoredAsTheExactBytes) {
  const std::string cases[] = {
      "",
      "/data/captures dir",
      "/data/\xc3\xa9t\xc3\xa9",
      "/data/\xff\x80\x01",
      std::string(kMaxStoredDestination, 'd'),
  };
  for (const std::string& destination : cases) {
    SCOPED_TRACE(destination.size());
    const Records records = MakeRecords(destination, 1, 2, 3, 4, 1, 0, 0);
    ASSERT_EQ(StoreConfiguration(db_.c_str(), records.features, records.config), 0);
    EXPECT_EQ(QueryText(db_, kDestinationQuery), destination);
    EXPECT_EQ(QueryText(db_, "SELECT typeof(destination) FROM config"), "text");
    Records loaded;
    ASSERT_EQ(LoadConfiguration(db_.c_str(), loaded.features, loaded.config), 0);
    EXPECT_EQ(NarrowDestination(loaded.config.destination), destination);
  }
}

TEST_F(StoreConfigurationTest, FailuresStoreNothingAndLeaveNothingOpen) {
  const std::string missing = dir_.File("missing.db");
  const Records valid = MakeRecords("/new", 1, 2, 3, 4, 0, 1, 5);
  Records tooLong = MakeRecords(std::string(kMaxStoredDestination + 1, 'd'), 1, 2, 3, 4, 0, 1, 5);
  Records noByte = valid;
  const std::wstring wideNoByte = std::wstring(L"/a") + static_cast<wchar_t>(0x100);
  noByte.config.destination = const_cast<wchar_t*>(wideNoByte.c_str());
  Records noDestination = valid;
  noDestination.config.destination = nullptr;
  auto noDamage = [](const std::string&) {};
  struct Case {
    const char* name;
    std::string path;
    std::function<void(const std::string&)> damage;
    const Records* records;
    bool tableRemains = true;
  };
  const Case cases[] = {
      // The update completes without matching a row: nothing stored is a failure.
      {"no default row", db_, [](const std::string& db) { ExecSql(db, "DELETE FROM config"); },
       &valid},
      {"only another row", db_,
       [](const std::string& db) { ExecSql(db, "UPDATE config SET mac = 'other'"); }, &valid},
      {"missing file", missing, noDamage, &valid, false},
      {"no table", db_, [](const std::string& db) { ExecSql(db, "DROP TABLE config"); }, &valid,
       false},
      {"destination of 4096 bytes", db_, noDamage, &tooLong},
      {"destination character above 255", db_, noDamage, &noByte},
      {"no destination", db_, noDamage, &noDestination},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(db_);
    CreateFromSchema(db_, "config.sql");
    c.damage(c.path);
    const std::string rowBefore = c.tableRemains ? QueryText(db_, kRowQuery) : "";
    const size_t openFiles = OpenFileCount();
    EXPECT_EQ(StoreConfiguration(c.path.c_str(), c.records->features, c.records->config), -1);
    EXPECT_EQ(OpenFileCount(), openFiles);
    if (c.tableRemains) {
      EXPECT_EQ(QueryText(db_, kRowQuery), rowBefore);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(missing)) << "the store created the database";
}

TEST_F(StoreConfigurationTest, DatabaseLockedByAnotherWriterFailsAtOnceAndKeepsTheRow) {
  const std::string rowBefore = QueryText(db_, kRowQuery);
  const size_t openFiles = OpenFileCount();
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(db_.c_str(), &raw), SQLITE_OK);
  Connection writer(raw);
  // A reserved lock: readers (and preparing) still work, the update cannot.
  ASSERT_EQ(sqlite3_exec(writer.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  const Records records = MakeRecords("/new", 1, 2, 3, 4, 0, 1, 5);
  EXPECT_EQ(StoreConfiguration(db_.c_str(), records.features, records.config), -1);
  ASSERT_EQ(sqlite3_exec(writer.get(), "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
  // SQLite keeps a closed connection's descriptor while another connection of
  // the process holds a lock on the file, and closes it with that one.
  writer.reset();
  EXPECT_EQ(OpenFileCount(), openFiles);
  EXPECT_EQ(QueryText(db_, kRowQuery), rowBefore);
}

TEST_F(StoreConfigurationTest, SuccessLeavesNothingOpen) {
  const Records records = MakeRecords("/new", 1, 2, 3, 4, 0, 1, 5);
  const size_t openFiles = OpenFileCount();
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(StoreConfiguration(db_.c_str(), records.features, records.config), 0);
  }
  EXPECT_EQ(OpenFileCount(), openFiles);
}

}  // namespace
