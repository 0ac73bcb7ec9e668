// The status command's device: "default" asks the device library for its
// first device's MAC text; any other text is looked up without the library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "status_fixture.h"
#include "support/sim_dir.h"

namespace {

std::string Info(const std::string& mac, const std::string& model) {
  return "\"info\": {\n\"mac\": \"" + mac + "\",\"model\": \"" + model + "\"}";
}

const std::string kIdleCapture =
    "\"capture\": {\n\"status\": 0,\n\"error\": 0,\n\"cacheused\": 0,\n\"maxcache\": 0,\n"
    "\"written\": 0,\n\"dropped\": 0\n}";

class StatusDefaultMacTest : public StatusTest {
 protected:
  void SetUp() override {
    StatusTest::SetUp();
    // The database's model names differ from the library's on purpose.
    Exec(
        "INSERT INTO device VALUES (1, '00:11:22:33:44:55', 'stored A');"
        "INSERT INTO device VALUES (2, 'aa:bb:cc:dd:ee:0f', 'stored B');"
        "INSERT INTO device VALUES (3, 'default', 'stored default');"
        "INSERT INTO capture VALUES (1, 0, 0, 0, 0, 0, 0), (2, 0, 0, 0, 0, 0, 0),"
        " (3, 0, 0, 0, 0, 0, 0);");
  }

  SimDir sim_;
};

TEST_F(StatusDefaultMacTest, DeviceTheAnswerIsAbout) {
  struct Case {
    const char* devices;  // the simulator's devices file
    const char* query;
    std::string expected;
    bool libraryCalled;
  };
  const Case cases[] = {
      {"00:11:22:33:44:55 3\n", "mac=default",
       kStatusSuccess + ",\n" + Info("00:11:22:33:44:55", "stored A") + ",\n" + kIdleCapture, true},
      // The first device the library can identify; its MAC text in small
      // letters whatever the file says.
      {"00:00:00:00:00:09 3 fail=mac\nAA:BB:CC:DD:EE:0F 13\n00:11:22:33:44:55 3\n", "mac=default",
       kStatusSuccess + ",\n" + Info("aa:bb:cc:dd:ee:0f", "stored B") + ",\n" + kIdleCapture, true},
      // Attached but unknown to the status database.
      {"00:00:00:00:00:01 3\n", "mac=default", StatusFailure("Failed to get device id"), true},
      {"", "mac=default", StatusFailure("Invalid MAC address"), true},
      {"00:11:22:33:44:55 3 fail=type\n", "mac=default", StatusFailure("Invalid MAC address"),
       true},
      // A named device needs no library, attached or not.
      {"", "mac=aa:bb:cc:dd:ee:0f",
       kStatusSuccess + ",\n" + Info("aa:bb:cc:dd:ee:0f", "stored B") + ",\n" + kIdleCapture,
       false},
      {"00:11:22:33:44:55 3\n", "mac=Default", StatusFailure("Failed to get device id"), false},
      {"00:11:22:33:44:55 3\n", "mac=default%20", StatusFailure("Failed to get device id"), false},
  };
  for (const Case& c : cases) {
    sim_.WriteDevices(c.devices);
    sim_.ClearCalls();
    EXPECT_EQ(Status(c.query), c.expected) << c.devices << c.query;
    EXPECT_EQ(!sim_.Calls().empty(), c.libraryCalled) << c.devices << c.query;
    EXPECT_EQ(sim_.Calls("Initialize").size(), c.libraryCalled ? 1u : 0u) << c.query;
  }
}

TEST_F(StatusDefaultMacTest, DefaultWaitsForADeviceBeforeGivingUp) {
  sim_.WriteDevices("00:11:22:33:44:55 3 appear=4\n");
  EXPECT_EQ(Status("mac=default"),
            kStatusSuccess + ",\n" + Info("00:11:22:33:44:55", "stored A") + ",\n" + kIdleCapture);
  EXPECT_EQ(sim_.Calls("SleepMs").size(), 3u);
}

}  // namespace
