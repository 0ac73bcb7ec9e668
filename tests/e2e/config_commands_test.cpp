// getconfig and setconfig as the web server runs them: whole standard output,
// against the configuration database at the path built into the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "support/run_program.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/test_paths.h"

namespace {

const std::string kSuccess = "\"result\": 0,\n\"message\": \"\"";
const std::string kRequest =
    "command=setconfig&mac=default&output=/cap&loop=1&count=10&size=100&duration=60&slicing=128"
    "&inline=1";

std::string Failure(const std::string& message) {
  return "\"result\": -1,\n\"message\": \"" + message + "\"";
}

std::string ConfigNode(const std::string& destination, const std::string& loop,
                       const std::string& count, const std::string& size,
                       const std::string& duration, const std::string& inlineMode,
                       const std::string& slicing) {
  return "\"config\": {\n\"destination\": \"" + destination + "\",\n\"loop\": " + loop +
         ",\n\"count\": " + count + ",\n\"size\": " + size + ",\n\"duration\": " + duration +
         ",\n\"inline\": " + inlineMode + ",\n\"slicing\": " + slicing + "\n},\n";
}

class ConfigCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_.WriteDevices("00:11:22:33:44:55 3\n");
    RecreateDatabase(kTestConfigDb, "config.sql");
  }

  SimDir sim_;
};

TEST_F(ConfigCommandsTest, GetconfigShowsTheSchemaDefaults) {
  EXPECT_EQ(HelperOutput("command=getconfig&mac=default"),
            CgiResponse(ConfigNode("", "0", "0", "0", "0", "1", "0") + kSuccess));
  EXPECT_TRUE(sim_.Calls().empty());
}

TEST_F(ConfigCommandsTest, SetconfigThenGetconfig) {
  struct Case {
    std::string changes;  // appended to a complete setconfig request
    std::string node;     // what getconfig shows afterwards
  };
  const Case cases[] = {
      {"", ConfigNode("/cap", "1", "10", "100", "60", "1", "128")},
      {"&size=1", ConfigNode("/cap", "1", "10", "1", "60", "1", "128")},
      {"&slicing=65541", ConfigNode("/cap", "1", "10", "100", "60", "1", "5")},
      {"&slicing=65536", ConfigNode("/cap", "1", "10", "100", "60", "1", "0")},
      {"&count=2147483648", ConfigNode("/cap", "1", "-2147483648", "100", "60", "1", "128")},
      {"&count=4294967297", ConfigNode("/cap", "1", "1", "100", "60", "1", "128")},
      {"&loop=5", ConfigNode("/cap", "1", "10", "100", "60", "1", "128")},
      {"&loop=abc", ConfigNode("/cap", "0", "10", "100", "60", "1", "128")},
      {"&duration=4294967296&inline=0", ConfigNode("/cap", "1", "10", "100", "0", "0", "128")},
      {"&output=", ConfigNode("", "1", "10", "100", "60", "1", "128")},
      {"&output=%2Fd%C3%A9t%C3%A9%01",
       ConfigNode("/d\xc3\xa9t\xc3\xa9\\u0001", "1", "10", "100", "60", "1", "128")},
      {"&output=%2Fa%22b%5Cc", ConfigNode("/a\\\"b\\\\c", "1", "10", "100", "60", "1", "128")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.changes);
    EXPECT_EQ(HelperOutput(kRequest + c.changes), CgiResponse(kSuccess));
    EXPECT_EQ(HelperOutput("command=getconfig&mac=00:00:00:00:00:99"),
              CgiResponse(c.node + kSuccess));
  }
}

TEST_F(ConfigCommandsTest, StoredBytesComeBackAsTheSameText) {
  EXPECT_EQ(HelperOutput(kRequest + "&output=%2Fd%C3%A9t%C3%A9"), CgiResponse(kSuccess));
  const std::string out = HelperOutput("command=getconfig&mac=default");
  const nlohmann::json body = nlohmann::json::parse(out.substr(out.find('{')));
  EXPECT_EQ(body["root"]["config"]["destination"], "/d\xc3\xa9t\xc3\xa9");
  EXPECT_EQ(QueryText(kTestConfigDb, "SELECT hex(destination) FROM config"), "2F64C3A974C3A9");
}

TEST_F(ConfigCommandsTest, RowHoldingAFractionOfAMebibyteShowsWholeMebibytes) {
  ExecSql(kTestConfigDb, "UPDATE config SET size = 1572864");
  EXPECT_EQ(HelperOutput("command=getconfig&mac=default"),
            CgiResponse(ConfigNode("", "0", "0", "1", "0", "1", "0") + kSuccess));
}

TEST_F(ConfigCommandsTest, DamagedDatabaseIsNoConfiguration) {
  CorruptTablePage(kTestConfigDb, "config");
  EXPECT_EQ(HelperOutput("command=getconfig&mac=default"),
            CgiResponse(Failure("Cannot load configuration from database")));
}

TEST_F(ConfigCommandsTest, MissingDatabaseIsNeitherReadNorCreated) {
  std::filesystem::remove(kTestConfigDb);
  EXPECT_EQ(HelperOutput("command=getconfig&mac=default"),
            CgiResponse(Failure("Cannot load configuration from database")));
  EXPECT_EQ(HelperOutput(kRequest),
            CgiResponse(Failure("Failed to save configuration in database")));
  EXPECT_FALSE(std::filesystem::exists(kTestConfigDb));
  EXPECT_TRUE(sim_.Calls("SetDeviceFeatures").empty());
}

TEST_F(ConfigCommandsTest, TableWithoutTheDefaultRowStoresNothingAndSaysSo) {
  ExecSql(kTestConfigDb, "DELETE FROM config");
  EXPECT_EQ(HelperOutput(kRequest),
            CgiResponse(Failure("Failed to save configuration in database")));
  EXPECT_EQ(QueryText(kTestConfigDb, "SELECT count(*) FROM config"), "0");
  EXPECT_EQ(HelperOutput("command=getconfig&mac=default"),
            CgiResponse(ConfigNode("", "0", "0", "0", "0", "1", "0") + kSuccess));
}

TEST_F(ConfigCommandsTest, OverlongOutputIsRefusedAndTheStoredOneKept) {
  ASSERT_EQ(HelperOutput(kRequest), CgiResponse(kSuccess));
  sim_.ClearCalls();
  EXPECT_EQ(HelperOutput(kRequest + "&output=" + std::string(4096, 'o')),
            CgiResponse(Failure("Invalid destination value")));
  EXPECT_TRUE(sim_.Calls("SetDeviceFeatures").empty());
  EXPECT_EQ(HelperOutput("command=getconfig&mac=default"),
            CgiResponse(ConfigNode("/cap", "1", "10", "100", "60", "1", "128") + kSuccess));
}

TEST_F(ConfigCommandsTest, DeviceRefusingTheFeaturesAfterTheStore) {
  sim_.WriteDevices("00:11:22:33:44:55 3 fail=features\n");
  EXPECT_EQ(HelperOutput(kRequest + "&size=7"),
            CgiResponse(Failure("Failed to set device features")));
  EXPECT_EQ(HelperOutput("command=getconfig&mac=default"),
            CgiResponse(ConfigNode("/cap", "1", "10", "7", "60", "1", "128") + kSuccess));
}

}  // namespace
