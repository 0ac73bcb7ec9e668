// The getconfig handler, in process, against real SQLite files.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "helper/config/config_commands.h"
#include "helper/frontend/request_vars.h"
#include "support/command_answer.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"

namespace {

const std::string kSuccess = "\"result\": 0,\n\"message\": \"\"";
const std::string kCannotLoad =
    "\"result\": -1,\n\"message\": \"Cannot load configuration from database\"";

std::string ConfigNode(const std::string& destination, const std::string& numbers) {
  return "\"config\": {\n\"destination\": \"" + destination + "\",\n" + numbers + "},\n";
}

const std::string kDefaultNode = ConfigNode("",
                                            "\"loop\": 0,\n\"count\": 0,\n\"size\": 0,\n"
                                            "\"duration\": 0,\n\"inline\": 1,\n\"slicing\": 0\n");

class GetconfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_.WriteDevices("00:11:22:33:44:55 3\n");
    CreateFromSchema(db_, "config.sql");
  }

  void Update(const std::string& assignments) {
    ExecSql(db_, "UPDATE config SET " + assignments + " WHERE mac = 'default'");
  }

  // The handler's text, checked to be the inside of a JSON object.
  std::string Run(const char* query, const std::string& db) {
    program_paths.configDb = db.c_str();
    ResponseBody body;
    AnswerOf("getconfig", RequestOfQuery(query), body);
    const std::string& out = body.text;
    EXPECT_TRUE(nlohmann::json::accept("{" + out + "}")) << out;
    return out;
  }
  std::string Run(const char* query) { return Run(query, db_); }

  SimDir sim_;
  TempDir dir_;
  std::string db_ = dir_.File("config.db");
};

TEST_F(GetconfigTest, DefaultsNodeExactly) {
  EXPECT_EQ(Run("mac=default"), kDefaultNode + kSuccess);
  ExecSql(db_, "DELETE FROM config");
  EXPECT_EQ(Run("mac=default"), kDefaultNode + kSuccess);
}

TEST_F(GetconfigTest, AnyMacShowsTheOneConfigurationWithoutTheDevice) {
  const char* queries[] = {"mac=default", "mac=00:11:22:33:44:55", "mac=00:00:00:00:00:99",
                           "mac=", "mac"};
  Update("destination = '/cap', loop = 1, count = 2, size = 3145728, slicing = 4");
  const std::string expected =
      ConfigNode("/cap",
                 "\"loop\": 1,\n\"count\": 2,\n\"size\": 3,\n\"duration\": 0,\n"
                 "\"inline\": 1,\n\"slicing\": 4\n") +
      kSuccess;
  for (const char* query : queries) EXPECT_EQ(Run(query), expected) << query;
  EXPECT_TRUE(sim_.Calls().empty()) << "getconfig called the device library";
}

TEST_F(GetconfigTest, FailuresWriteOnlyTheResultNode) {
  const std::string missing = dir_.File("missing.db");
  struct Case {
    const char* name;
    const char* query;
    std::string db;
    std::function<void(const std::string&)> damage;
    std::string expected;
  };
  const auto noDamage = [](const std::string&) {};
  const Case cases[] = {
      {"no mac", "command=getconfig", db_, noDamage,
       "\"result\": -1,\n\"message\": \"Invalid MAC address\""},
      {"no mac is tested before the database", "", missing, noDamage,
       "\"result\": -1,\n\"message\": \"Invalid MAC address\""},
      {"missing file", "mac=default", missing, noDamage, kCannotLoad},
      {"no table", "mac=default", db_,
       [](const std::string& db) { ExecSql(db, "DROP TABLE config"); }, kCannotLoad},
      // Preparing succeeds, reading the row fails: not the defaults with 0.
      {"corrupt table page", "mac=default", db_,
       [](const std::string& db) { CorruptTablePage(db, "config"); }, kCannotLoad},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(db_);
    CreateFromSchema(db_, "config.sql");
    c.damage(c.db);
    EXPECT_EQ(Run(c.query, c.db), c.expected);
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
}

}  // namespace
