// The list and stop commands against the simulated device library.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/sim_dir.h"

namespace {

const std::string kSuccess = "\"result\": 0,\n\"message\": \"\"";

class ListStopTest : public ::testing::Test {
 protected:
  SimDir sim_;
};

TEST_F(ListStopTest, ListWithoutDevicesWaitsAndAnswersAnEmptyArray) {
  ProgramResult result = RunHelper("command=list");
  EXPECT_EQ(result.out, CgiResponse(kSuccess + ",\n\"devices\": [\n]\n"));
  EXPECT_EQ(sim_.Calls("SleepMs").size(), 50u);
  EXPECT_EQ(sim_.Calls("Initialize"), std::vector<std::string>{"Initialize 0"});
}

TEST_F(ListStopTest, ListTwoDevices) {
  sim_.WriteDevices("00:11:22:33:44:55 3\nAA:BB:CC:DD:EE:0F 13\n");
  ProgramResult result = RunHelper("command=list");
  EXPECT_EQ(result.out, CgiResponse(kSuccess + ",\n\"devices\": [\n"
                                               "{\n\"mac\": \"00:11:22:33:44:55\",\n"
                                               "\"type\": \"Velorantis-A1\"\n},"
                                               "{\n\"mac\": \"aa:bb:cc:dd:ee:0f\",\n"
                                               "\"type\": \"Velorantis-C30\"\n}]\n"));
  nlohmann::json body = nlohmann::json::parse(result.out.substr(result.out.find('{')));
  EXPECT_EQ(body["root"]["devices"][1]["mac"], "aa:bb:cc:dd:ee:0f");
}

TEST_F(ListStopTest, UnreadableDevicesAreLeftOutAndCommasCountOnlyWrittenOnes) {
  sim_.WriteDevices(
      "00:00:00:00:00:01 3 fail=mac\n"
      "00:00:00:00:00:02 4\n"
      "00:00:00:00:00:03 5 fail=type\n"
      "00:00:00:00:00:04 -7\n"
      "00:00:00:00:00:05 6 fail=type,mac\n");
  ProgramResult result = RunHelper("command=list");
  EXPECT_EQ(result.out,
            CgiResponse(kSuccess + ",\n\"devices\": [\n"
                                   "{\n\"mac\": \"00:00:00:00:00:02\",\n\"type\": \"Unknown\"\n},"
                                   "{\n\"mac\": \"00:00:00:00:00:04\",\n\"type\": \"Unknown\"\n}"
                                   "]\n"));
}

TEST_F(ListStopTest, StopAnswers) {
  sim_.WriteDevices(
      "00:00:00:00:00:01 3 fail=mac\n"
      "00:00:00:00:00:02 3\n"
      "00:00:00:00:00:03 3 fail=stop\n");
  struct Case {
    const char* query;
    std::string body;
    const char* stoppedMac;  // the device the library was asked to stop, or null
  };
  const Case cases[] = {
      {"command=stop", "\"result\": -1,\n\"message\": \"Invalid MAC address\"", nullptr},
      {"command=stop&mac=", "\"result\": -1,\n\"message\": \"Invalid MAC address\"", nullptr},
      {"command=stop&mac=00:00:00:00:00:09",
       "\"result\": -1,\n\"message\": \"Invalid MAC address\"", nullptr},
      {"command=stop&mac=00:00:00:00:00:01",
       "\"result\": -1,\n\"message\": \"Invalid MAC address\"", nullptr},
      {"command=stop&mac=00%3A00%3A00%3A00%3A00%3A02", kSuccess, "00:00:00:00:00:02"},
      {"command=stop&mac=default", kSuccess, "00:00:00:00:00:02"},
      {"command=stop&mac=00:00:00:00:00:03",
       "\"result\": -2,\n\"message\": \"Failed to stop capture\"", "00:00:00:00:00:03"},
  };
  for (const auto& c : cases) {
    sim_.ClearCalls();
    ProgramResult result = RunHelper(c.query);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, CgiResponse(c.body)) << c.query;
    std::vector<std::string> stops = sim_.Calls("DiskDumpStop");
    if (c.stoppedMac == nullptr) {
      EXPECT_TRUE(stops.empty()) << c.query;
    } else {
      ASSERT_EQ(stops.size(), 1u) << c.query;
      EXPECT_NE(stops[0].find(c.stoppedMac), std::string::npos) << stops[0];
    }
  }
}

TEST_F(ListStopTest, StopWithUpperCaseMacFindsNoDevice) {
  sim_.WriteDevices("aa:bb:cc:dd:ee:ff 3\n");
  ProgramResult result = RunHelper("command=stop&mac=AA:BB:CC:DD:EE:FF");
  EXPECT_EQ(result.out, CgiResponse("\"result\": -1,\n\"message\": \"Invalid MAC address\""));
  EXPECT_TRUE(sim_.Calls("DiskDumpStop").empty());
}

TEST_F(ListStopTest, StopWithoutDevicesWaitsThenFindsNone) {
  ProgramResult result = RunHelper("command=stop&mac=default");
  EXPECT_EQ(result.out, CgiResponse("\"result\": -1,\n\"message\": \"Invalid MAC address\""));
  EXPECT_EQ(sim_.Calls("SleepMs").size(), 50u);
}

}  // namespace
