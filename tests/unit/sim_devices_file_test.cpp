// The simulator's devices file: which devices a process sees, in which
// order, from which call on, and what it reports about broken lines.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "VelorantisAPI.h"
#include "device_library/sim/velorantis_sim.h"
#include "support/sim_dir.h"

namespace {

struct Listed {
  std::string mac;
  int type;
  void* handle;
};

std::string MacText(void* handle) {
  uint8_t mac[6] = {};
  if (VelorantisAPIGetDeviceMAC(handle, mac) != 0) return "(no mac)";
  char text[18];
  std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3],
                mac[4], mac[5]);
  return text;
}

// Every device of one list call, read through the API; frees the list.
std::vector<Listed> ListDevices() {
  VelorantisAPIDeviceList* list = VelorantisAPIGetDevicesList();
  std::vector<Listed> devices;
  if (list == nullptr) {
    ADD_FAILURE() << "null device list";
    return devices;
  }
  for (VelorantisAPIDeviceListNode* node = list->first; node != nullptr; node = node->next) {
    int type = INT_MIN + 1;
    EXPECT_EQ(VelorantisAPIGetDeviceType(node->handle, &type), 0);
    devices.push_back({MacText(node->handle), type, node->handle});
  }
  EXPECT_EQ(list->count, static_cast<int32_t>(devices.size()));
  VelorantisApiDeviceListFree(list);
  return devices;
}

std::vector<std::string> Macs(const std::vector<Listed>& devices) {
  std::vector<std::string> macs;
  for (const Listed& device : devices) macs.push_back(device.mac);
  return macs;
}

class SimDevicesFileTest : public testing::Test {
 protected:
  static void UseDir(const std::string& dir) {
    setenv("VELORANTIS_SIM_DIR", dir.c_str(), 1);
    VelorantisSimReset();
  }

  void WriteDevices(const std::string& text, const std::string& dir = "") {
    std::ofstream((dir.empty() ? dir_ : dir) + "/devices", std::ios::binary) << text;
  }

  SimDir sim_;
  const std::string dir_ = sim_.path();
};

struct ValidLine {
  const char* line;
  const char* mac;
  int type;
};

TEST_F(SimDevicesFileTest, AcceptsEveryValidForm) {
  const ValidLine cases[] = {
      {"00:11:22:33:44:55 3", "00:11:22:33:44:55", 3},
      {"001122334455 3", "00:11:22:33:44:55", 3},
      {"AA:BB:CC:DD:EE:FF -7", "aa:bb:cc:dd:ee:ff", -7},
      {"aAbBcCdDeEfF 0", "aa:bb:cc:dd:ee:ff", 0},
      {" \t0a0b0c0d0e0f\t\t2147483647  ", "0a:0b:0c:0d:0e:0f", INT_MAX},
      {"f0:e1:d2:c3:b4:a5 -2147483648", "f0:e1:d2:c3:b4:a5", INT_MIN},
      {"001122334455 12 appear=1 fail=start,stop", "00:11:22:33:44:55", 12},
      {"001122334455 5\r", "00:11:22:33:44:55", 5},
  };
  for (const ValidLine& c : cases) {
    SCOPED_TRACE(c.line);
    VelorantisSimReset();
    WriteDevices(std::string(c.line) + "\n");
    testing::internal::CaptureStderr();
    VelorantisAPIDeviceList* list = VelorantisAPIGetDevicesList();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(list->count, 1);
    ASSERT_NE(list->first, nullptr);
    EXPECT_EQ(list->first->next, nullptr);
    void* handle = list->first->handle;
    VelorantisApiDeviceListFree(list);
    EXPECT_EQ(MacText(handle), c.mac);
    int type = 0;
    EXPECT_EQ(VelorantisAPIGetDeviceType(handle, &type), 0);
    EXPECT_EQ(type, c.type);
  }
}

TEST_F(SimDevicesFileTest, IgnoresCommentsAndBlankLines) {
  WriteDevices("# attached devices\n\n   \n\t# indented comment\n001122334455 1\n\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(Macs(ListDevices()), std::vector<std::string>{"00:11:22:33:44:55"});
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

struct MalformedLine {
  const char* line;
  const char* reason_word;  // the report must say what is wrong
};

TEST_F(SimDevicesFileTest, ReportsAndSkipsMalformedLines) {
  const MalformedLine cases[] = {
      {"00:11:22:33:44 3", "MAC"},
      {"0011223344556 3", "MAC"},
      {"00112233445g 3", "MAC"},
      {"0011:22334455 3", "MAC"},
      {"00:11:22:33:44-55 3", "MAC"},
      {"001122334455", "type"},
      {"001122334455 x3", "type"},
      {"001122334455 3.5", "type"},
      {"001122334455 2147483648", "type"},
      {"001122334455 3 color=red", "option"},
      {"001122334455 3 appear=", "number"},
      {"001122334455 3 appear=0", "number"},
      {"001122334455 3 appear=2x", "number"},
      {"001122334455 3 appear=-1", "number"},
      {"001122334455 3 fail=reboot", "operation"},
      {"001122334455 3 fail=type,,mac", "operation"},
      {"001122334455 3 fail=", "operation"},
      {"aabbccddeeff 3", "already"},
  };
  const std::string where = dir_ + "/devices:3:";
  for (const MalformedLine& c : cases) {
    SCOPED_TRACE(c.line);
    VelorantisSimReset();
    WriteDevices("aabbccddeeff 1\n# two good devices around a bad one\n" + std::string(c.line) +
                 "\nbbccddeeff00 2\n");
    testing::internal::CaptureStderr();
    const std::vector<Listed> devices = ListDevices();
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Macs(devices), (std::vector<std::string>{"aa:bb:cc:dd:ee:ff", "bb:cc:dd:ee:ff:00"}));
    EXPECT_NE(report.find(where), std::string::npos) << report;
    EXPECT_NE(report.find(c.reason_word), std::string::npos) << report;
    EXPECT_EQ(report.find('\n'), report.size() - 1) << "one line expected: " << report;

    // Once per process: the next poll stays quiet, until a reset.
    testing::internal::CaptureStderr();
    ListDevices();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    VelorantisSimReset();
    testing::internal::CaptureStderr();
    ListDevices();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), report);
  }
}

TEST_F(SimDevicesFileTest, SurvivesVeryLongLines) {
  const std::string long_option = "appear=" + std::string(100000, '9');
  WriteDevices("#" + std::string(200000, 'x') + "\n001122334455 1 " + long_option +
               "\n112233445566 2\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(Macs(ListDevices()), std::vector<std::string>{"11:22:33:44:55:66"});
  const std::string report = testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find(dir_ + "/devices:2:"), std::string::npos) << report.substr(0, 200);
}

TEST_F(SimDevicesFileTest, MissingFileMeansNoDevice) {
  VelorantisAPIDeviceList* list = VelorantisAPIGetDevicesList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count, 0);
  EXPECT_EQ(list->first, nullptr);
  VelorantisApiDeviceListFree(list);
}

TEST_F(SimDevicesFileTest, CreatesMissingStateDir) {
  const std::string nested = dir_ + "/one/two";
  UseDir(nested);
  EXPECT_EQ(VelorantisAPIInitialize(), 0);
  EXPECT_TRUE(std::filesystem::is_directory(nested));
}

TEST_F(SimDevicesFileTest, ListsInFileOrderFromTheirAppearCall) {
  WriteDevices(
      "0000000000a1 1 appear=3\n"
      "0000000000b2 2\n"
      "0000000000c3 3 appear=2\n");
  const std::string a = "00:00:00:00:00:a1", b = "00:00:00:00:00:b2", c = "00:00:00:00:00:c3";
  EXPECT_EQ(Macs(ListDevices()), (std::vector<std::string>{b}));
  EXPECT_EQ(Macs(ListDevices()), (std::vector<std::string>{b, c}));
  EXPECT_EQ(Macs(ListDevices()), (std::vector<std::string>{a, b, c}));
  EXPECT_EQ(Macs(ListDevices()), (std::vector<std::string>{a, b, c}));
  VelorantisSimReset();
  EXPECT_EQ(Macs(ListDevices()), (std::vector<std::string>{b}));
}

TEST_F(SimDevicesFileTest, RereadsTheFileAtEachListCall) {
  WriteDevices("001122334455 1\n");
  const std::vector<Listed> before = ListDevices();
  ASSERT_EQ(before.size(), 1u);
  WriteDevices("665544332211 9\n001122334455 4\n");
  const std::vector<Listed> after = ListDevices();
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0].mac, "66:55:44:33:22:11");
  EXPECT_EQ(after[0].type, 9);
  // Same device, same handle, with the type the file says now.
  EXPECT_EQ(after[1].handle, before[0].handle);
  EXPECT_EQ(after[1].type, 4);
}

TEST_F(SimDevicesFileTest, HandlesOutliveTheirList) {
  WriteDevices("001122334455 6\n");
  VelorantisAPIDeviceList* list = VelorantisAPIGetDevicesList();
  ASSERT_EQ(list->count, 1);
  void* handle = list->first->handle;
  VelorantisApiDeviceListFree(list);
  EXPECT_EQ(MacText(handle), "00:11:22:33:44:55");
  int type = 0;
  EXPECT_EQ(VelorantisAPIGetDeviceType(handle, &type), 0);
  EXPECT_EQ(type, 6);
}

TEST_F(SimDevicesFileTest, SameMacInAnotherStateDirIsAnotherDevice) {
  WriteDevices("001122334455 1\n");
  const std::string other = dir_ + "/other";
  std::filesystem::create_directory(other);
  WriteDevices("001122334455 2\n", other);
  const std::vector<Listed> here = ListDevices();
  UseDir(other);
  const std::vector<Listed> there = ListDevices();
  ASSERT_EQ(here.size(), 1u);
  ASSERT_EQ(there.size(), 1u);
  EXPECT_NE(here[0].handle, there[0].handle);
  EXPECT_EQ(there[0].type, 2);
  int type = 0;
  EXPECT_EQ(VelorantisAPIGetDeviceType(here[0].handle, &type), 0);
  EXPECT_EQ(type, 1);
}

TEST_F(SimDevicesFileTest, RejectsHandlesItNeverGaveOut) {
  int not_a_device = 0;
  void* const bogus[] = {nullptr, &not_a_device};
  for (void* handle : bogus) {
    int type = 0;
    uint8_t mac[6] = {};
    VelorantisAPIDiskDumpStatus status{};
    EXPECT_NE(VelorantisAPIGetDeviceType(handle, &type), 0);
    EXPECT_NE(VelorantisAPIGetDeviceMAC(handle, mac), 0);
    EXPECT_NE(VelorantisAPIDiskDumpGetStatus(handle, &status), 0);
    EXPECT_NE(VelorantisAPIDiskDumpStart(handle), 0);
    EXPECT_NE(VelorantisAPIDiskDumpStop(handle), 0);
  }
}

TEST_F(SimDevicesFileTest, RejectsNullOutputs) {
  WriteDevices("001122334455 1\n");
  const std::vector<Listed> devices = ListDevices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_NE(VelorantisAPIGetDeviceType(devices[0].handle, nullptr), 0);
  EXPECT_NE(VelorantisAPIGetDeviceMAC(devices[0].handle, nullptr), 0);
  EXPECT_NE(VelorantisAPIDiskDumpGetStatus(devices[0].handle, nullptr), 0);
}

TEST_F(SimDevicesFileTest, StateDirThatCannotExistMeansNoDevice) {
  // A regular file where a directory should be: fails even for root.
  std::ofstream(dir_ + "/plain") << "not a directory\n";
  UseDir(dir_ + "/plain/sim");
  EXPECT_EQ(VelorantisAPIInitialize(), 0);
  VelorantisAPIDeviceList* list = VelorantisAPIGetDevicesList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count, 0);
  EXPECT_EQ(list->first, nullptr);
  VelorantisApiDeviceListFree(list);
  VelorantisApiSleepMs(0);
}

}  // namespace
