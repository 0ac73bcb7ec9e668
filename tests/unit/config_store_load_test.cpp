// LoadConfiguration against real SQLite files made from schema/config.sql.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "helper/config/config_store.h"
#include "helper/capture_settings/capture_settings.h"
#include "shared/available_memory.h"
#include "shared/sqlite_handles.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"

namespace {

struct Records {
  VelorantisAPIDeviceFeatures features;
  VelorantisAPIDiskDumpConfig config;
};

// Every byte set, so that a field the load must not touch shows if it did.
Records Patterned() {
  Records records;
  memset(&records, 0xa5, sizeof records);
  return records;
}

struct Expected {
  std::string destination;
  uint32_t loop;
  uint32_t count;
  uint64_t size;
  uint32_t duration;
  uint32_t inlineEnabled;
  uint32_t slicingEnabled;
  uint16_t slicingValue;
};

const Expected kDefaults = {"", 0, 0, 0, 0, 1, 0, 0};

void ExpectLoaded(const Records& records, const Expected& expected) {
  const VelorantisAPIDiskDumpConfig& c = records.config;
  const VelorantisAPIDeviceFeatures& f = records.features;
  ASSERT_NE(c.destination, nullptr);
  EXPECT_EQ(NarrowDestination(c.destination), expected.destination);
  EXPECT_EQ(c.loop, expected.loop);
  EXPECT_EQ(c.count, expected.count);
  EXPECT_EQ(c.size, expected.size);
  EXPECT_EQ(c.duration, expected.duration);
  EXPECT_EQ(f.inlineEnabled, expected.inlineEnabled);
  EXPECT_EQ(f.slicingEnabled, expected.slicingEnabled);
  EXPECT_EQ(f.slicingValue, expected.slicingValue);
}

void ExpectFixedContent(const Records& records) {
  const VelorantisAPIDeviceFeatures& f = records.features;
  EXPECT_EQ(f.word0, 1u);
  EXPECT_EQ(f.word4, 1u);
  const uint32_t zeroWords[] = {f.word8,  f.word12, f.word24, f.word28, f.word32, f.word36,
                                f.word40, f.word44, f.word52, f.word56, f.word60};
  for (uint32_t word : zeroWords) EXPECT_EQ(word, 0u);
  EXPECT_EQ(f.half48, 0u);
  EXPECT_EQ(records.config.reserved1, 0u);
  // Not the load's to set: reserved0 and the two padding gaps of the features.
  EXPECT_EQ(records.config.reserved0, 0xa5a5a5a5u);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&f);
  for (size_t gap : {offsetof(VelorantisAPIDeviceFeatures, half48) + 2,
                     offsetof(VelorantisAPIDeviceFeatures, slicingValue) + 2}) {
    EXPECT_EQ(bytes[gap], 0xa5) << "offset " << gap;
    EXPECT_EQ(bytes[gap + 1], 0xa5) << "offset " << gap + 1;
  }
}

class LoadConfigurationTest : public ::testing::Test {
 protected:
  void SetUp() override { CreateFromSchema(db_, "config.sql"); }

  void Update(const std::string& assignments) {
    ExecSql(db_, "UPDATE config SET " + assignments + " WHERE mac = 'default'");
  }

  TempDir dir_;
  std::string db_ = dir_.File("config.db");
};

TEST_F(LoadConfigurationTest, RowToRecords) {
  struct Case {
    const char* assignments;
    Expected expected;
  };
  const Case cases[] = {
      {"destination = '/data/cap', loop = 1, count = 10, size = 104857600, duration = 60, "
       "inline = 1, slicing = 128",
       {"/data/cap", 1, 10, 104857600, 60, 1, 1, 128}},
      {"loop = 7, inline = -1", {"", 1, 0, 0, 0, 1, 0, 0}},
      {"loop = 0, inline = 0", {"", 0, 0, 0, 0, 0, 0, 0}},
      {"slicing = 65536 + 5", {"", 0, 0, 0, 0, 1, 1, 5}},
      {"slicing = 65536", {"", 0, 0, 0, 0, 1, 1, 0}},
      {"slicing = 65535", {"", 0, 0, 0, 0, 1, 1, 65535}},
      {"slicing = -1", {"", 0, 0, 0, 0, 1, 1, 65535}},
      {"duration = 4294967296", {"", 0, 0, 0, 0, 1, 0, 0}},
      {"duration = 4294967296 + 42", {"", 0, 0, 0, 42, 1, 0, 0}},
      {"duration = 4294967295", {"", 0, 0, 0, 4294967295u, 1, 0, 0}},
      {"count = -2147483648", {"", 0, 2147483648u, 0, 0, 1, 0, 0}},
      {"count = -1", {"", 0, 4294967295u, 0, 0, 1, 0, 0}},
      {"size = 1572864", {"", 0, 0, 1572864, 0, 1, 0, 0}},
      {"size = -1", {"", 0, 0, UINT64_MAX, 0, 1, 0, 0}},
      {"destination = NULL", {"", 0, 0, 0, 0, 1, 0, 0}},
      {"destination = CAST(X'2F64C3A9FF80' AS TEXT)", {"/d\xc3\xa9\xff\x80", 0, 0, 0, 0, 1, 0, 0}},
      {"destination = ''", {"", 0, 0, 0, 0, 1, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.assignments);
    CreateFromSchema(db_, "config.sql");
    Update(
        "destination = '', loop = 0, count = 0, size = 0, duration = 0, inline = 1, slicing = 0");
    Update(c.assignments);
    Records records = Patterned();
    ASSERT_EQ(LoadConfiguration(db_.c_str(), records.features, records.config), 0);
    ExpectLoaded(records, c.expected);
    ExpectFixedContent(records);
  }
}

TEST_F(LoadConfigurationTest, LongDestinationLoadsWhole) {
  const std::string destination(3 * kMaxStoredDestination, 'q');
  Update("destination = '" + destination + "'");
  Records records = Patterned();
  ASSERT_EQ(LoadConfiguration(db_.c_str(), records.features, records.config), 0);
  EXPECT_EQ(NarrowDestination(records.config.destination), destination);
}

TEST_F(LoadConfigurationTest, SchemaRowHoldsTheDefaults) {
  Records records = Patterned();
  ASSERT_EQ(LoadConfiguration(db_.c_str(), records.features, records.config), 0);
  ExpectLoaded(records, kDefaults);
  ExpectFixedContent(records);
}

TEST_F(LoadConfigurationTest, NoDefaultRowGivesTheDefaults) {
  ExecSql(db_,
          "UPDATE config SET destination = '/x', loop = 1, count = 3, size = 4, duration = 5, "
          "inline = 0, slicing = 6; UPDATE config SET mac = 'other'");
  Records records = Patterned();
  ASSERT_EQ(LoadConfiguration(db_.c_str(), records.features, records.config), 0);
  ExpectLoaded(records, kDefaults);
  ExpectFixedContent(records);
}

TEST_F(LoadConfigurationTest, RamSizeIsHalfTheAvailableMemory) {
  const uint64_t pageSize = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  const uint64_t before = GetAvailableRAMSize();
  Records records = Patterned();
  ASSERT_EQ(LoadConfiguration(db_.c_str(), records.features, records.config), 0);
  const uint64_t after = GetAvailableRAMSize();
  // Memory comes and goes meanwhile; allow for that, not for a factor of two.
  constexpr uint64_t kSlack = uint64_t{64} << 20;
  EXPECT_EQ(records.config.ramSize % (pageSize / 2), 0u);
  EXPECT_GE(records.config.ramSize + kSlack, std::min(before, after) / 2);
  EXPECT_LE(records.config.ramSize, std::max(before, after) / 2 + kSlack);
}

TEST_F(LoadConfigurationTest, FailuresLeaveTheRecordsUntouchedAndNothingOpen) {
  const std::string missing = dir_.File("missing.db");
  struct Case {
    const char* name;
    std::string path;
    std::function<void(const std::string&)> damage;
  };
  const Case cases[] = {
      {"missing file", missing, [](const std::string&) {}},
      {"no table", db_, [](const std::string& db) { ExecSql(db, "DROP TABLE config"); }},
      {"missing column", db_,
       [](const std::string& db) {
         ExecSql(db,
                 "DROP TABLE config; CREATE TABLE config (mac TEXT PRIMARY KEY, destination "
                 "TEXT, loop INTEGER, count INTEGER, size INTEGER, duration INTEGER, inline "
                 "INTEGER); INSERT INTO config VALUES ('default', '/x', 1, 1, 1, 1, 1)");
       }},
      // Preparing succeeds here and only the step fails: no stored
      // configuration to show, and the defaults must not stand in for it.
      {"corrupt table page", db_, [](const std::string& db) { CorruptTablePage(db, "config"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(db_);
    CreateFromSchema(db_, "config.sql");
    c.damage(c.path);
    const Records before = Patterned();
    Records records = before;
    const size_t openFiles = OpenFileCount();
    EXPECT_EQ(LoadConfiguration(c.path.c_str(), records.features, records.config), -1);
    EXPECT_EQ(memcmp(&records, &before, sizeof records), 0);
    EXPECT_EQ(OpenFileCount(), openFiles);
  }
  EXPECT_FALSE(std::filesystem::exists(missing)) << "the load created the database";
}

// The file keeps a write-ahead log: a save under way does not stop a read,
// which sees the last committed row.
TEST_F(LoadConfigurationTest, SaveUnderWayDoesNotStopARead) {
  const size_t openFiles = OpenFileCount();
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(db_.c_str(), &raw), SQLITE_OK);
  Connection writer(raw);
  ASSERT_EQ(sqlite3_exec(writer.get(), "BEGIN EXCLUSIVE; UPDATE config SET count = 9", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  Records records = Patterned();
  EXPECT_EQ(LoadConfiguration(db_.c_str(), records.features, records.config), 0);
  ExpectLoaded(records, kDefaults);
  ASSERT_EQ(sqlite3_exec(writer.get(), "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
  // SQLite keeps a closed connection's descriptor while another connection of
  // the process holds a lock on the file, and closes it with that one.
  writer.reset();
  EXPECT_EQ(OpenFileCount(), openFiles);
}

// A damaged file must never pass for one without the row: the load fails or
// finds the row. Truncated at every 64th byte, and one bit flipped at every
// 61st byte.
TEST_F(LoadConfigurationTest, DamagedFileIsNeverShownAsTheDefaults) {
  Update("destination = '/kept', count = 5");
  const std::string pristine = ReadFile(db_);
  struct Damage {
    const char* name;
    size_t step;
    std::function<std::string(size_t)> apply;
  };
  const Damage damages[] = {
      {"truncated at", 64, [&](size_t at) { return pristine.substr(0, at); }},
      {"bit flipped at", 61,
       [&](size_t at) {
         std::string bytes = pristine;
         bytes[at] = static_cast<char>(bytes[at] ^ (1 << at % 8));
         return bytes;
       }},
  };
  for (const Damage& damage : damages) {
    for (size_t at = 0; at < pristine.size(); at += damage.step) {
      WriteFile(db_, damage.apply(at));
      Records records = Patterned();
      if (LoadConfiguration(db_.c_str(), records.features, records.config) != 0) continue;
      EXPECT_FALSE(NarrowDestination(records.config.destination) == "" && records.config.count == 0)
          << damage.name << " " << at;
    }
  }
}

TEST_F(LoadConfigurationTest, SuccessLeavesNothingOpen) {
  const size_t openFiles = OpenFileCount();
  for (int i = 0; i < 3; ++i) {
    Records records = Patterned();
    ASSERT_EQ(LoadConfiguration(db_.c_str(), records.features, records.config), 0);
  }
  EXPECT_EQ(OpenFileCount(), openFiles);
}

TEST(AvailableRam, IsTheAvailablePagesTimesThePageSize) {
  auto sample = [] {
    return static_cast<uint64_t>(int64_t{sysconf(_SC_AVPHYS_PAGES)} * sysconf(_SC_PAGESIZE));
  };
  // The figure changes with every page the system hands out; a reading taken
  // between two equal samples must equal them.
  for (int attempt = 0; attempt < 10000; ++attempt) {
    const uint64_t before = sample();
    const uint64_t value = GetAvailableRAMSize();
    if (sample() == before) {
      EXPECT_EQ(value, before);
      return;
    }
  }
  FAIL() << "available memory never held still across one call";
}

TEST(AvailableRam, SysconfFailingGivesNoMemory) {
  struct Case {
    int64_t pages;
    int64_t pageSize;
    uint64_t bytes;
  };
  const Case cases[] = {
      {-1, 4096, 0},
      {262144, -1, 0},
      {-1, -1, 0},
      {262144, 4096, uint64_t{1} << 30},
      // The largest figures a 32-bit long can give multiply without overflow.
      {2147483647, 65536, uint64_t{2147483647} << 16},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AvailableBytes(c.pages, c.pageSize), c.bytes) << c.pages << " " << c.pageSize;
  }
}

}  // namespace
