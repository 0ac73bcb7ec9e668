// A capture to disk started by one request and found running, refused and
// stopped by later ones, each in its own process as the web server runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "support/run_program.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"
#include "support/test_rounds.h"

namespace {

const std::string kSuccess = "\"result\": 0,\n\"message\": \"\"";
const char kMac[] = "00:11:22:33:44:55";
constexpr char kRowQuery[] =
    "SELECT quote(destination) || ' ' || loop || ' ' || count || ' ' || size || ' ' || duration "
    "|| ' ' || inline || ' ' || slicing FROM config";

std::string Failure(const std::string& message) {
  return "\"result\": -1,\n\"message\": \"" + message + "\"";
}

std::string StartQuery(const std::string& mac, const std::string& output) {
  return "command=start&mac=" + mac + "&output=" + output + "&loop=1&count=0&size=100&duration=0";
}

class StartStopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_.WriteDevices(std::string(kMac) + " 3\n");
    RecreateDatabase(kTestConfigDb, "config.sql");
  }

  SimDir sim_;
  TempDir first_;
  TempDir second_;
};

TEST_F(StartStopTest, CaptureOutlivesTheRequestThatStartedIt) {
  EXPECT_EQ(HelperOutput(StartQuery("default", first_.path())), CgiResponse(kSuccess));
  EXPECT_TRUE(std::filesystem::exists(first_.path() + "/Velorantis.pcapng"));
  const std::string deviceConfig = ReadFile(sim_.path() + "/001122334455.config");
  const std::string rowBefore = QueryText(kTestConfigDb, kRowQuery);

  sim_.ClearCalls();
  EXPECT_EQ(HelperOutput(StartQuery(kMac, second_.path())),
            CgiResponse(Failure("Capture is already running")));
  EXPECT_TRUE(sim_.Calls("DiskDumpSetConfig").empty());
  EXPECT_TRUE(sim_.Calls("DiskDumpStart").empty());
  EXPECT_FALSE(std::filesystem::exists(second_.path() + "/Velorantis.pcapng"));
  EXPECT_EQ(ReadFile(sim_.path() + "/001122334455.config"), deviceConfig);
  // The start command never touches the stored configuration.
  EXPECT_EQ(QueryText(kTestConfigDb, kRowQuery), rowBefore);

  EXPECT_EQ(HelperOutput(std::string("command=stop&mac=") + kMac), CgiResponse(kSuccess));
  EXPECT_EQ(HelperOutput(StartQuery("default", second_.path())), CgiResponse(kSuccess));
  EXPECT_TRUE(std::filesystem::exists(second_.path() + "/Velorantis.pcapng"));
  EXPECT_EQ(HelperOutput("command=stop&mac=default"), CgiResponse(kSuccess));
  EXPECT_EQ(QueryText(kTestConfigDb, kRowQuery), rowBefore);
}

TEST_F(StartStopTest, StartAnswersByteForByte) {
  struct Case {
    std::string query;
    std::string body;
  };
  const Case cases[] = {
      {"command=start", Failure("Invalid MAC address")},
      {"command=start&mac=00:00:00:00:00:99&loop=1", Failure("Invalid MAC address")},
      {"command=start&mac=default&loop=1&count=0&size=1&duration=0",
       Failure("Invalid destination value")},
      {"command=start&mac=default&output=" + first_.path() + "&loop=1&count=0&size=1",
       Failure("Invalid duration value")},
      // Not UTF-8: a client that sends the shown path back would change it.
      {"command=start&mac=default&output=/caf%E9&loop=1&count=0&size=1&duration=0",
       Failure("Invalid destination value")},
      {"command=st%61rt&mac=default&output=" + first_.path() + "/&loop=1&count=0&size=1&duration=0",
       kSuccess},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    EXPECT_EQ(HelperOutput(c.query), CgiResponse(c.body));
  }
  const std::vector<std::string> configs = sim_.Calls("DiskDumpSetConfig");
  ASSERT_EQ(configs.size(), 1u);
  EXPECT_TRUE(configs[0].ends_with(" destination=" + first_.path() + "//Velorantis.pcapng"))
      << configs[0];
}

// Two starts with different settings at once: one wins whole, the other finds
// the capture running, and only the winner's configuration reaches the device.
TEST_F(StartStopTest, RacingStartsLeaveTheWinnersCapture) {
  const int rounds = TestRounds(150);
  for (int round = 0; round < rounds; ++round) {
    sim_.ClearCalls();
    std::string answers[2];
    std::thread racer([&] { answers[1] = HelperOutput(StartQuery(kMac, second_.path())); });
    answers[0] = HelperOutput(StartQuery(kMac, first_.path()));
    racer.join();
    const int winner = answers[0] == CgiResponse(kSuccess) ? 0 : 1;
    ASSERT_EQ(answers[winner], CgiResponse(kSuccess)) << "round " << round;
    ASSERT_EQ(answers[1 - winner], CgiResponse(Failure("Capture is already running")))
        << "round " << round;
    const std::vector<std::string> configs = sim_.Calls("DiskDumpSetConfig");
    ASSERT_EQ(configs.size(), 1u) << "round " << round;
    const std::string& dir = winner == 0 ? first_.path() : second_.path();
    ASSERT_TRUE(configs[0].ends_with(" destination=" + dir + "/Velorantis.pcapng")) << configs[0];
    ASSERT_EQ(sim_.Processes(), 1) << "round " << round;  // one capture writer
    ASSERT_EQ(HelperOutput(std::string("command=stop&mac=") + kMac), CgiResponse(kSuccess));
    ASSERT_EQ(sim_.Processes(), 0) << "round " << round;
  }
}

}  // namespace
