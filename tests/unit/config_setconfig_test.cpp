// The setconfig handler, in process, against real SQLite files and the
// simulated device library.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "helper/config/config_commands.h"
#include "helper/frontend/request_vars.h"
#include "support/command_answer.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"

namespace {

const std::string kSuccess = "\"result\": 0,\n\"message\": \"\"";
const char kMac[] = "00:11:22:33:44:55";
const std::string kComplete =
    "mac=00:11:22:33:44:55&output=/cap&loop=1&count=10&size=100&duration=60&slicing=128&inline=1";

constexpr char kRowQuery[] =
    "SELECT quote(destination) || ' ' || loop || ' ' || count || ' ' || size || ' ' || duration "
    "|| ' ' || inline || ' ' || slicing FROM config WHERE mac = 'default'";

std::string Failure(const std::string& message) {
  return "\"result\": -1,\n\"message\": \"" + message + "\"";
}

// The line the simulator logs for features the device took.
std::string FeaturesLine(const std::string& mac, int slicingEnabled, int inlineEnabled,
                         int slicingValue, int result = 0) {
  return "SetDeviceFeatures " + std::to_string(result) + " " + mac +
         " w0=1 w4=1 w8=0 w12=0 w16=" + std::to_string(slicingEnabled) +
         " w20=" + std::to_string(inlineEnabled) +
         " w24=0 w28=0 w32=0 w36=0 w40=0 w44=0 h48=0 w52=0 w56=0 w60=0 h64=" +
         std::to_string(slicingValue);
}

class SetconfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_.WriteDevices("00:11:22:33:44:55 3\n");
    CreateFromSchema(db_, "config.sql");
  }

  std::string Run(const std::string& query) {
    program_paths = {db_.c_str(), kStatusDatabasePath, lock_.c_str()};
    ResponseBody body;
    AnswerOf("setconfig", RequestOfQuery(query), body);
    const std::string& out = body.text;
    EXPECT_TRUE(nlohmann::json::accept("{" + out + "}")) << out;
    return out;
  }

  std::string Row() { return QueryText(db_, kRowQuery); }

  SimDir sim_;
  TempDir dir_;
  std::string db_ = dir_.File("config.db");
  std::string lock_ = dir_.File("device.lock");
};

TEST_F(SetconfigTest, FailuresInOrderStoreNothingAndLeaveTheDeviceAlone) {
  const std::string longOutput(4096, 'o');
  struct Case {
    std::string query;
    std::string message;
  };
  const Case cases[] = {
      {"", "Invalid MAC address"},
      {"output=/cap&loop=1&count=1&size=1&duration=1&slicing=1&inline=1", "Invalid MAC address"},
      {"mac=00:00:00:00:00:99", "Invalid MAC address"},
      {"mac=00:11:22:33:44:55&output=/cap&loop=1&count=1&size=1&duration=1&slicing=1&inline=1"
       "&mac=00:11:22:33:44:5",
       "Invalid MAC address"},
      {"mac=00:11:22:33:44:55", "Invalid destination value"},
      {"mac=default&loop=1", "Invalid destination value"},
      {"mac=default&output=/cap", "Invalid loop value"},
      {"mac=default&output=/cap&count=1&size=1&duration=1&slicing=1&inline=1",
       "Invalid loop value"},
      {"mac=default&output=/cap&loop=1", "Invalid count value"},
      {"mac=default&output=/cap&loop=1&count=1", "Invalid size value"},
      {"mac=default&output=/cap&loop=1&count=1&size=1", "Invalid duration value"},
      {"mac=default&output=/cap&loop=1&count=1&size=1&duration=1", "Invalid slicing value"},
      {"mac=default&output=/cap&loop=1&count=1&size=1&duration=1&slicing=1",
       "Invalid inline value"},
      {"mac=default&output=&loop=&count=&size=&duration=&slicing=", "Invalid inline value"},
      // Too long to store whole: refused where "output" is read, before the numbers.
      {"mac=default&output=" + longOutput, "Invalid destination value"},
      {"mac=default&output=" + longOutput + "&loop=1&count=1&size=1&duration=1&slicing=1&inline=1",
       "Invalid destination value"},
      // Not UTF-8: shown as \u00XX, it would come back from a client as other bytes.
      {"mac=default&output=%2Fd%FF%80%01&loop=1&count=1&size=1&duration=1&slicing=1&inline=1",
       "Invalid destination value"},
  };
  const std::string rowBefore = Row();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query.substr(0, 120));
    sim_.ClearCalls();
    EXPECT_EQ(Run(c.query), Failure(c.message));
    EXPECT_EQ(Row(), rowBefore);
    // The device is looked up before any variable is read.
    EXPECT_EQ(sim_.Calls("Initialize").size(), 1u);
    EXPECT_FALSE(sim_.Calls("GetDevicesList").empty());
    EXPECT_TRUE(sim_.Calls("SetDeviceFeatures").empty());
  }
}

TEST_F(SetconfigTest, StoredRowAndDeviceFeatures) {
  struct Case {
    std::string changes;  // appended to a complete request; later pairs win
    std::string row;
    std::string features;
  };
  const Case cases[] = {
      {"", "'/cap' 1 10 104857600 60 1 128", FeaturesLine(kMac, 1, 1, 128)},
      {"&size=1", "'/cap' 1 10 1048576 60 1 128", FeaturesLine(kMac, 1, 1, 128)},
      {"&size=17592186044416", "'/cap' 1 10 0 60 1 128", FeaturesLine(kMac, 1, 1, 128)},
      {"&slicing=65541", "'/cap' 1 10 104857600 60 1 5", FeaturesLine(kMac, 1, 1, 5)},
      {"&slicing=65536", "'/cap' 1 10 104857600 60 1 0", FeaturesLine(kMac, 1, 1, 0)},
      {"&slicing=0", "'/cap' 1 10 104857600 60 1 0", FeaturesLine(kMac, 0, 1, 0)},
      {"&inline=0", "'/cap' 1 10 104857600 60 0 128", FeaturesLine(kMac, 1, 0, 128)},
      {"&inline=2", "'/cap' 1 10 104857600 60 1 128", FeaturesLine(kMac, 1, 1, 128)},
      {"&count=2147483648", "'/cap' 1 -2147483648 104857600 60 1 128",
       FeaturesLine(kMac, 1, 1, 128)},
      {"&count=4294967297", "'/cap' 1 1 104857600 60 1 128", FeaturesLine(kMac, 1, 1, 128)},
      {"&count=-1", "'/cap' 1 -1 104857600 60 1 128", FeaturesLine(kMac, 1, 1, 128)},
      {"&loop=5", "'/cap' 1 10 104857600 60 1 128", FeaturesLine(kMac, 1, 1, 128)},
      {"&loop=abc", "'/cap' 0 10 104857600 60 1 128", FeaturesLine(kMac, 1, 1, 128)},
      {"&duration=4294967296", "'/cap' 1 10 104857600 0 1 128", FeaturesLine(kMac, 1, 1, 128)},
      {"&duration=4294967295", "'/cap' 1 10 104857600 4294967295 1 128",
       FeaturesLine(kMac, 1, 1, 128)},
      {"&output=", "'' 1 10 104857600 60 1 128", FeaturesLine(kMac, 1, 1, 128)},
      {"&output=/a+b%27c", "'/a b''c' 1 10 104857600 60 1 128", FeaturesLine(kMac, 1, 1, 128)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.changes);
    ExecSql(db_, "UPDATE config SET destination = 'old', loop = 0, count = 0, size = 0");
    sim_.ClearCalls();
    EXPECT_EQ(Run(kComplete + c.changes), kSuccess);
    EXPECT_EQ(Row(), c.row);
    EXPECT_EQ(sim_.Calls("SetDeviceFeatures"), std::vector<std::string>{c.features});
  }
}

TEST_F(SetconfigTest, DestinationIsStoredExactly) {
  struct Case {
    std::string output;  // encoded in the query
    std::string stored;
  };
  const Case cases[] = {
      {"%2Fd%C3%A9t%C3%A9", "/d\xc3\xa9t\xc3\xa9"},
      {"%2Fd%01%7F", "/d\x01\x7f"},
      {std::string(4095, 'x'), std::string(4095, 'x')},
      {std::string(4093, 'x') + "%C3%A9", std::string(4093, 'x') + "\xc3\xa9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored.substr(0, 20));
    EXPECT_EQ(Run(kComplete + "&output=" + c.output), kSuccess);
    EXPECT_EQ(QueryText(db_, "SELECT destination FROM config WHERE mac = 'default'"), c.stored);
  }
}

TEST_F(SetconfigTest, NothingToUpdateIsAFailure) {
  const std::string kSaveFailed = Failure("Failed to save configuration in database");
  ExecSql(db_, "DELETE FROM config");
  EXPECT_EQ(Run(kComplete), kSaveFailed);
  EXPECT_EQ(QueryText(db_, "SELECT count(*) FROM config"), "0");
  EXPECT_TRUE(sim_.Calls("SetDeviceFeatures").empty());

  db_ = dir_.File("missing.db");
  EXPECT_EQ(Run(kComplete), kSaveFailed);
  EXPECT_TRUE(sim_.Calls("SetDeviceFeatures").empty());
}

TEST_F(SetconfigTest, DeviceRefusingTheFeaturesKeepsTheStoredConfiguration) {
  sim_.WriteDevices("00:11:22:33:44:55 3 fail=features\n");
  EXPECT_EQ(Run(kComplete), Failure("Failed to set device features"));
  EXPECT_EQ(Row(), "'/cap' 1 10 104857600 60 1 128");
  EXPECT_EQ(sim_.Calls("SetDeviceFeatures"),
            std::vector<std::string>{FeaturesLine(kMac, 1, 1, 128, 1)});
}

TEST_F(SetconfigTest, DefaultWithoutADeviceOnlyStores) {
  sim_.WriteDevices("");
  const std::string request =
      "mac=default&output=/nodev&loop=0&count=3&size=2&duration=4&slicing=9&inline=0";
  EXPECT_EQ(Run(request), kSuccess);
  EXPECT_EQ(Row(), "'/nodev' 0 3 2097152 4 0 9");
  EXPECT_TRUE(sim_.Calls("SetDeviceFeatures").empty());
  EXPECT_EQ(sim_.Calls("SleepMs").size(), 50u);
}

TEST_F(SetconfigTest, FeaturesGoToTheDeviceTheRequestNames) {
  sim_.WriteDevices(
      "00:00:00:00:00:01 3 fail=mac\n"
      "00:00:00:00:00:02 3\n"
      "00:00:00:00:00:03 3\n");
  const std::string numbers = "&output=/cap&loop=1&count=1&size=1&duration=1&slicing=7&inline=1";
  struct Case {
    const char* mac;
    const char* chosen;
  };
  const Case cases[] = {
      {"default", "00:00:00:00:00:02"},
      {"00:00:00:00:00:03", "00:00:00:00:00:03"},
      {"00:00:00:00:00:02", "00:00:00:00:00:02"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mac);
    sim_.ClearCalls();
    EXPECT_EQ(Run(std::string("mac=") + c.mac + numbers), kSuccess);
    EXPECT_EQ(sim_.Calls("SetDeviceFeatures"),
              std::vector<std::string>{FeaturesLine(c.chosen, 1, 1, 7)});
  }
}

}  // namespace
