// What the simulator writes to calls.log, and how fail= switches make single
// operations of a device fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "VelorantisAPI.h"
#include "device_library/sim/velorantis_sim.h"
#include "support/sim_dir.h"

namespace {

constexpr char kMac[] = "00:11:22:33:44:55";

class SimCallsLogTest : public testing::Test {
 protected:
  SimDir sim_;
  const std::string dir_ = sim_.path();

  void WriteDevices(const std::string& text) { std::ofstream(dir_ + "/devices") << text; }

  // The only device listed; the list call is logged like any other.
  void* OnlyDevice() {
    VelorantisAPIDeviceList* list = VelorantisAPIGetDevicesList();
    void* handle = list->count == 1 ? list->first->handle : nullptr;
    VelorantisApiDeviceListFree(list);
    EXPECT_NE(handle, nullptr);
    return handle;
  }

  std::string Log() const {
    std::ifstream in(dir_ + "/calls.log", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    std::istringstream in(Log());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

// Distinct values everywhere, so a word logged under the wrong key shows.
VelorantisAPIDeviceFeatures SampleFeatures() {
  VelorantisAPIDeviceFeatures f{};
  f.word0 = 1;
  f.word4 = 1;
  f.word8 = 8;
  f.word12 = 12;
  f.slicingEnabled = 1;
  f.inlineEnabled = 0;
  f.word24 = 24;
  f.word28 = 28;
  f.word32 = 32;
  f.word36 = 36;
  f.word40 = 40;
  f.word44 = 4294967295u;
  f.half48 = 65535;
  f.word52 = 52;
  f.word56 = 56;
  f.word60 = 60;
  f.slicingValue = 1500;
  return f;
}

constexpr char kSampleFeaturesFields[] =
    "w0=1 w4=1 w8=8 w12=12 w16=1 w20=0 w24=24 w28=28 w32=32 w36=36 w40=40 w44=4294967295 "
    "h48=65535 w52=52 w56=56 w60=60 h64=1500";

VelorantisAPIDiskDumpConfig SampleConfig(wchar_t* destination) {
  VelorantisAPIDiskDumpConfig config{};
  config.loop = 1;
  config.reserved0 = 77;  // not part of the log
  config.reserved1 = 9;
  config.destination = destination;
  config.size = 5000000000ull;
  config.ramSize = 268435456ull;
  config.count = 30000;
  config.duration = 600;
  return config;
}

std::wstring Widen(const std::string& bytes) {
  std::wstring wide;
  for (unsigned char c : bytes) wide += static_cast<wchar_t>(c);
  return wide;
}

TEST_F(SimCallsLogTest, LogsEveryOperationWithItsFields) {
  WriteDevices("001122334455 3\n");
  // Bytes above 127 and a space: each wide character is one byte of the path.
  const std::string destination = dir_ + "/caf\xe9 \xff.pcapng";
  std::wstring wide = Widen(destination);

  EXPECT_EQ(VelorantisAPIInitialize(), 0);
  VelorantisAPIDeviceList* list = VelorantisAPIGetDevicesList();
  ASSERT_EQ(list->count, 1);
  void* device = list->first->handle;
  int type = 0;
  uint8_t mac[6];
  VelorantisAPIDiskDumpStatus status{};
  EXPECT_EQ(VelorantisAPIGetDeviceType(device, &type), 0);
  EXPECT_EQ(VelorantisAPIGetDeviceMAC(device, mac), 0);
  EXPECT_EQ(VelorantisAPISetDeviceFeatures(device, SampleFeatures()), 0);
  EXPECT_EQ(VelorantisAPIDiskDumpSetConfig(device, SampleConfig(wide.data())), 0);
  EXPECT_EQ(VelorantisAPIDiskDumpStart(device), 0);
  EXPECT_EQ(VelorantisAPIDiskDumpGetStatus(device, &status), 0);
  EXPECT_EQ(VelorantisAPIDiskDumpStart(device), 1);
  EXPECT_EQ(VelorantisAPIDiskDumpStop(device), 0);
  EXPECT_EQ(VelorantisAPIDiskDumpGetStatus(device, &status), 0);
  VelorantisApiSleepMs(2);
  VelorantisApiDeviceListFree(list);

  const std::string m = kMac;
  EXPECT_EQ(Log(),
            "Initialize 0\n"
            "GetDevicesList 0 count=1\n"
            "GetDeviceType 0 " +
                m +
                " type=3\n"
                "GetDeviceMAC 0 " +
                m +
                "\n"
                "SetDeviceFeatures 0 " +
                m + " " + kSampleFeaturesFields +
                "\n"
                "DiskDumpSetConfig 0 " +
                m +
                " loop=1 reserved1=9 size=5000000000 ramSize=268435456 count=30000 duration=600"
                " destination=" +
                destination +
                "\n"
                "DiskDumpStart 0 " +
                m +
                "\n"
                "DiskDumpGetStatus 0 " +
                m +
                " running=1\n"
                "DiskDumpStart 1 " +
                m +
                "\n"
                "DiskDumpStop 0 " +
                m +
                "\n"
                "DiskDumpGetStatus 0 " +
                m +
                " running=0\n"
                "SleepMs 0 ms=2\n"
                "DeviceListFree 0\n");
  EXPECT_TRUE(std::filesystem::exists(destination));
}

TEST_F(SimCallsLogTest, LogsTheListCountAndNullFrees) {
  WriteDevices("001122334455 3\n665544332211 4\n");
  VelorantisAPIDeviceList* list = VelorantisAPIGetDevicesList();
  VelorantisApiDeviceListFree(list);
  VelorantisApiDeviceListFree(nullptr);
  WriteDevices("");
  VelorantisApiDeviceListFree(VelorantisAPIGetDevicesList());
  EXPECT_EQ(Log(),
            "GetDevicesList 0 count=2\nDeviceListFree 0\nDeviceListFree 0\n"
            "GetDevicesList 0 count=0\nDeviceListFree 0\n");
}

TEST_F(SimCallsLogTest, DestinationsThatAreNoPathAreLoggedAndRefused) {
  WriteDevices("001122334455 3\n");
  void* device = OnlyDevice();
  std::wstring too_wide = L"/tmp/x\x100y";
  EXPECT_EQ(VelorantisAPIDiskDumpSetConfig(device, SampleConfig(too_wide.data())), 0);
  EXPECT_EQ(VelorantisAPIDiskDumpStart(device), 1);
  EXPECT_EQ(VelorantisAPIDiskDumpSetConfig(device, SampleConfig(nullptr)), 0);
  EXPECT_EQ(VelorantisAPIDiskDumpStart(device), 1);
  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 6u);  // list, free, then two set-and-start
  const std::string numbers =
      " loop=1 reserved1=9 size=5000000000 ramSize=268435456 count=30000 duration=600";
  const std::string m = kMac;
  EXPECT_EQ(lines[2], "DiskDumpSetConfig 0 " + m + numbers + " destination=/tmp/x?y");
  EXPECT_EQ(lines[3], "DiskDumpStart 1 " + m);
  EXPECT_EQ(lines[4], "DiskDumpSetConfig 0 " + m + numbers + " destination=");
  EXPECT_EQ(lines[5], "DiskDumpStart 1 " + m);
}

// A destination is a request's text: whatever bytes it holds, its log line
// and the capture marker stay one line each, so it cannot forge a call.
TEST_F(SimCallsLogTest, DestinationsStayOnTheirOneLine) {
  WriteDevices("001122334455 3\n");
  void* device = OnlyDevice();
  struct Case {
    std::string name;  // the capture file's name in the state directory
    std::string shown;
  };
  const Case cases[] = {
      {"a\nDiskDumpStart 0 00:11:22:33:44:55", "a\\x0aDiskDumpStart 0 00:11:22:33:44:55"},
      {"\r\t\x01\x1f\x7f", "\\x0d\\x09\\x01\\x1f\\x7f"},
      {"back\\x0a", "back\\x5cx0a"},  // a backslash is escaped too, so nothing reads ambiguously
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    std::filesystem::remove(dir_ + "/calls.log");
    std::wstring destination = Widen(dir_ + "/" + c.name);
    ASSERT_EQ(VelorantisAPIDiskDumpSetConfig(device, SampleConfig(destination.data())), 0);
    ASSERT_EQ(VelorantisAPIDiskDumpStart(device), 0);
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].ends_with(" destination=" + dir_ + "/" + c.shown)) << lines[0];
    EXPECT_EQ(lines[1], std::string("DiskDumpStart 0 ") + kMac);
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/" + c.name));
    std::ifstream marker(dir_ + "/001122334455.capture", std::ios::binary);
    std::stringstream text;
    text << marker.rdbuf();
    EXPECT_EQ(text.str(), dir_ + "/" + c.shown + "\n");
    ASSERT_EQ(VelorantisAPIDiskDumpStop(device), 0);
  }
}

TEST_F(SimCallsLogTest, UnknownHandlesAreLoggedWithoutMac) {
  int not_a_device = 0;
  int type = 0;
  VelorantisAPIDiskDumpStatus status{};
  EXPECT_EQ(VelorantisAPIGetDeviceType(&not_a_device, &type), 1);
  EXPECT_EQ(VelorantisAPIDiskDumpGetStatus(nullptr, &status), 1);
  EXPECT_EQ(VelorantisAPIDiskDumpStop(nullptr), 1);
  EXPECT_EQ(Log(), "GetDeviceType 1\nDiskDumpGetStatus 1\nDiskDumpStop 1\n");
}

TEST_F(SimCallsLogTest, UnwritableLogLeavesOperationsWorking) {
  // A directory where the log should be: open fails, even for root.
  std::filesystem::create_directory(dir_ + "/calls.log");
  WriteDevices("001122334455 3\n");
  void* device = OnlyDevice();
  std::wstring destination = Widen(dir_ + "/capture.pcapng");
  EXPECT_EQ(VelorantisAPIInitialize(), 0);
  EXPECT_EQ(VelorantisAPIDiskDumpSetConfig(device, SampleConfig(destination.data())), 0);
  EXPECT_EQ(VelorantisAPIDiskDumpStart(device), 0);
  VelorantisAPIDiskDumpStatus status{};
  EXPECT_EQ(VelorantisAPIDiskDumpGetStatus(device, &status), 0);
  EXPECT_EQ(status.running, 1);
  EXPECT_EQ(VelorantisAPIDiskDumpStop(device), 0);
}

// One call of each device operation, in an order that lets each succeed.
struct Operation {
  const char* name;
  std::function<int(void*)> call;
};

std::vector<Operation> DeviceOperations(std::wstring* destination) {
  return {
      {"type",
       [](void* d) {
         int t = 0;
         return VelorantisAPIGetDeviceType(d, &t);
       }},
      {"mac",
       [](void* d) {
         uint8_t m[6];
         return VelorantisAPIGetDeviceMAC(d, m);
       }},
      {"features", [](void* d) { return VelorantisAPISetDeviceFeatures(d, SampleFeatures()); }},
      {"config",
       [destination](void* d) {
         return VelorantisAPIDiskDumpSetConfig(d, SampleConfig(destination->data()));
       }},
      {"start", [](void* d) { return VelorantisAPIDiskDumpStart(d); }},
      {"status",
       [](void* d) {
         VelorantisAPIDiskDumpStatus s{};
         return VelorantisAPIDiskDumpGetStatus(d, &s);
       }},
      {"stop", [](void* d) { return VelorantisAPIDiskDumpStop(d); }},
  };
}

// A line the log must hold: "OPERATION RESULT MAC[ FIELDS]".
struct LoggedCall {
  const char* operation_and_result;
  std::string fields;
};

struct FailCase {
  const char* option;
  std::vector<int> results;  // of DeviceOperations, in order
  std::vector<LoggedCall> failures;
};

TEST_F(SimCallsLogTest, FailSwitchesFailOnlyTheirOperations) {
  const std::string config_fields =
      "loop=1 reserved1=9 size=5000000000 ramSize=268435456 count=30000 duration=600 destination=";
  const FailCase cases[] = {
      {"", {0, 0, 0, 0, 0, 0, 0}, {}},
      {"fail=type", {1, 0, 0, 0, 0, 0, 0}, {{"GetDeviceType 1", ""}}},
      {"fail=mac", {0, 1, 0, 0, 0, 0, 0}, {{"GetDeviceMAC 1", ""}}},
      {"fail=features", {0, 0, 1, 0, 0, 0, 0}, {{"SetDeviceFeatures 1", kSampleFeaturesFields}}},
      // Without a configuration there is nothing to start.
      {"fail=config",
       {0, 0, 0, 1, 1, 0, 0},
       {{"DiskDumpSetConfig 1", config_fields + "DEST"}, {"DiskDumpStart 1", ""}}},
      {"fail=start", {0, 0, 0, 0, 1, 0, 0}, {{"DiskDumpStart 1", ""}}},
      {"fail=status", {0, 0, 0, 0, 0, 1, 0}, {{"DiskDumpGetStatus 1", ""}}},
      {"fail=stop", {0, 0, 0, 0, 0, 0, 1}, {{"DiskDumpStop 1", ""}}},
      {"fail=stop,type", {1, 0, 0, 0, 0, 0, 1}, {{"GetDeviceType 1", ""}, {"DiskDumpStop 1", ""}}},
  };
  int case_number = 10;
  for (const FailCase& c : cases) {
    SCOPED_TRACE(c.option);
    std::filesystem::remove(dir_ + "/calls.log");
    // A fresh MAC per case, so no capture or setting carries over.
    const std::string last_byte = std::to_string(case_number++);
    WriteDevices("0011223344" + last_byte + " 3 " + c.option + "\n");
    const std::string mac = "00:11:22:33:44:" + last_byte;
    const std::string destination = dir_ + "/capture" + last_byte + ".pcapng";
    std::wstring wide = Widen(destination);
    void* device = OnlyDevice();
    std::vector<int> results;
    for (const Operation& op : DeviceOperations(&wide)) results.push_back(op.call(device));
    EXPECT_EQ(results, c.results);
    const std::vector<std::string> lines = LogLines();
    EXPECT_EQ(lines.size(), 2 + c.results.size());  // with the list and its free
    for (const LoggedCall& failure : c.failures) {
      std::string expected = std::string(failure.operation_and_result) + " " + mac;
      if (!failure.fields.empty()) expected += " " + failure.fields;
      if (expected.ends_with("DEST")) expected.replace(expected.size() - 4, 4, destination);
      EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    }
  }
}

TEST_F(SimCallsLogTest, FailedGettersLeaveTheirOutputsAlone) {
  WriteDevices("001122334455 3 fail=type,mac\n");
  void* device = OnlyDevice();
  int type = -99;
  uint8_t mac[6] = {9, 9, 9, 9, 9, 9};
  EXPECT_EQ(VelorantisAPIGetDeviceType(device, &type), 1);
  EXPECT_EQ(VelorantisAPIGetDeviceMAC(device, mac), 1);
  EXPECT_EQ(type, -99);
  for (uint8_t byte : mac) EXPECT_EQ(byte, 9);
}

}  // namespace
