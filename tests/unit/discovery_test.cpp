#include "shared/discovery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/sim_dir.h"

namespace {

TEST(ModelName, Table) {
  struct Case {
    int type;
    const char* model;
  };
  const Case cases[] = {
      {3, "Velorantis-A1"},    {5, "Velorantis-A1+"},   {8, "Velorantis-A1+"},
      {9, "Velorantis-A1+"},   {10, "Velorantis-A1+"},  {6, "Velorantis-A1r5"},
      {7, "Velorantis-A1r5"},  {14, "Velorantis-A1r6"}, {11, "Velorantis-B20"},
      {12, "Velorantis-B20+"}, {13, "Velorantis-C30"},  {4, "Unknown"},
      {0, "Unknown"},          {1, "Unknown"},          {2, "Unknown"},
      {15, "Unknown"},         {-3, "Unknown"},         {2147483647, "Unknown"},
  };
  for (const auto& c : cases) EXPECT_STREQ(ModelName(c.type), c.model) << "type " << c.type;
}

class DiscoveryTest : public ::testing::Test {
 protected:
  SimDir sim_;
};

TEST_F(DiscoveryTest, NoDeviceMeansFiftyPollsAndFiftySleeps) {
  waitForDevs();
  EXPECT_EQ(sim_.Calls("GetDevicesList").size(), 50u);
  std::vector<std::string> sleeps = sim_.Calls("SleepMs");
  ASSERT_EQ(sleeps.size(), 50u);
  EXPECT_EQ(sleeps.front(), "SleepMs 0 ms=10");
  EXPECT_EQ(GetDeviceHandle("default"), NoDevice());
  EXPECT_EQ(GetDeviceHandle("00:11:22:33:44:55"), NoDevice());
}

TEST_F(DiscoveryTest, DeviceAppearingInTheSixthPollEndsTheWaitAfterFiveSleeps) {
  sim_.WriteDevices("00:11:22:33:44:55 3 appear=6\n");
  waitForDevs();
  EXPECT_EQ(sim_.Calls("GetDevicesList").size(), 6u);
  EXPECT_EQ(sim_.Calls("SleepMs").size(), 5u);
  EXPECT_EQ(sim_.Calls("GetDevicesList").back(), "GetDevicesList 0 count=1");
}

TEST_F(DiscoveryTest, AttachedDeviceEndsTheWaitAtOnce) {
  sim_.WriteDevices("00:11:22:33:44:55 3\n");
  waitForDevs();
  EXPECT_EQ(sim_.Calls(),
            (std::vector<std::string>{"GetDevicesList 0 count=1", "DeviceListFree 0"}));
}

TEST_F(DiscoveryTest, NullMacDoesNotCallTheLibrary) {
  sim_.WriteDevices("00:11:22:33:44:55 3\n");
  EXPECT_EQ(GetDeviceHandle(nullptr), NoDevice());
  EXPECT_TRUE(sim_.Calls().empty());
}

// Which device each "mac" selects among three, by the MAC text it reports.
TEST_F(DiscoveryTest, SelectionTable) {
  sim_.WriteDevices(
      "# first cannot be identified\n"
      "aa:aa:aa:aa:aa:01 3 fail=mac\n"
      "AA:AA:AA:AA:AA:02 11\n"
      "aaaaaaaaaa03 13\n");
  struct Case {
    const char* mac;
    const char* expectedMacText;  // null: no device
  };
  const Case cases[] = {
      {"default", "aa:aa:aa:aa:aa:02"},  // the unreadable first one is skipped
      {"aa:aa:aa:aa:aa:02", "aa:aa:aa:aa:aa:02"},
      {"aa:aa:aa:aa:aa:03", "aa:aa:aa:aa:aa:03"},
      {"aa:aa:aa:aa:aa:01", nullptr},  // its MAC cannot be read
      {"AA:AA:AA:AA:AA:02", nullptr},  // case-sensitive
      {"aa-aa-aa-aa-aa-02", nullptr},
      {"aaaaaaaaaa02", nullptr},
      {"aa:aa:aa:aa:aa:02 ", nullptr},
      {"", nullptr},
      {"Default", nullptr},
  };
  for (const auto& c : cases) {
    void* handle = GetDeviceHandle(c.mac);
    if (c.expectedMacText == nullptr) {
      EXPECT_EQ(handle, NoDevice()) << c.mac;
      continue;
    }
    ASSERT_NE(handle, NoDevice()) << c.mac;
    char model[kDeviceTextSize];
    char macText[kDeviceTextSize];
    ASSERT_EQ(GetDeviceInfo(handle, model, macText), 0);
    EXPECT_STREQ(macText, c.expectedMacText) << c.mac;
  }
}

TEST_F(DiscoveryTest, DefaultSkipsDeviceWhoseTypeCannotBeRead) {
  sim_.WriteDevices("00:00:00:00:00:01 3 fail=type\n00:00:00:00:00:02 5\n");
  void* handle = GetDeviceHandle("default");
  char model[kDeviceTextSize];
  char macText[kDeviceTextSize];
  ASSERT_EQ(GetDeviceInfo(handle, model, macText), 0);
  EXPECT_STREQ(macText, "00:00:00:00:00:02");
  EXPECT_STREQ(model, "Velorantis-A1+");
}

TEST_F(DiscoveryTest, HandleOutlivesTheList) {
  sim_.WriteDevices("00:11:22:33:44:55 14\n");
  void* handle = GetDeviceHandle("00:11:22:33:44:55");
  EXPECT_EQ(sim_.Calls("DeviceListFree").size(), 1u);
  char model[kDeviceTextSize];
  char macText[kDeviceTextSize];
  ASSERT_EQ(GetDeviceInfo(handle, model, macText), 0);
  EXPECT_STREQ(model, "Velorantis-A1r6");
}

TEST_F(DiscoveryTest, GetDeviceInfoFailuresLeaveBuffersAsTheyWere) {
  sim_.WriteDevices("00:00:00:00:00:01 3\n");
  void* handle = GetDeviceHandle("default");
  ASSERT_NE(handle, NoDevice());
  // Switch the failures on for the same device after it has been found.
  sim_.WriteDevices("00:00:00:00:00:01 3 fail=type\n");
  GetDeviceHandle("unused");  // the simulator rereads its devices file at each list
  char model[kDeviceTextSize] = "untouched";
  char macText[kDeviceTextSize] = "untouched";
  EXPECT_NE(GetDeviceInfo(handle, model, macText), 0);
  EXPECT_STREQ(model, "untouched");
  EXPECT_STREQ(macText, "untouched");

  sim_.WriteDevices("00:00:00:00:00:01 3 fail=mac\n");
  GetDeviceHandle("unused");
  EXPECT_NE(GetDeviceInfo(handle, model, macText), 0);
  EXPECT_STREQ(model, "Velorantis-A1");  // written before the MAC read failed
  EXPECT_STREQ(macText, "untouched");
}

}  // namespace
