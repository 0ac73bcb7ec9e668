// Captures to disk in the simulator: the capture file it creates, and the
// running state that outlives the process that started it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "VelorantisAPI.h"
#include "device_library/sim/velorantis_sim.h"
#include "support/sim_dir.h"

namespace {

class SimCaptureTest : public testing::Test {
 protected:
  void SetUp() override { sim_.WriteDevices("001122334455 3\n"); }

  SimDir sim_;
  const std::string dir_ = sim_.path();
};

// The first listed device, looked up anew as a separate process would.
void* Device() {
  VelorantisAPIDeviceList* list = VelorantisAPIGetDevicesList();
  void* handle = list->first != nullptr ? list->first->handle : nullptr;
  VelorantisApiDeviceListFree(list);
  return handle;
}

int Configure(void* device, const std::string& destination) {
  std::wstring wide(destination.begin(), destination.end());
  VelorantisAPIDiskDumpConfig config{};
  config.destination = wide.data();
  config.size = 1u << 30;
  return VelorantisAPIDiskDumpSetConfig(device, config);
}

int SetSlicing(void* device, uint32_t enabled, uint16_t bytes) {
  VelorantisAPIDeviceFeatures features{};
  features.word0 = 1;
  features.word4 = 1;
  features.slicingEnabled = enabled;
  features.slicingValue = bytes;
  return VelorantisAPISetDeviceFeatures(device, features);
}

// -1 when the status cannot be read.
int Running(void* device) {
  VelorantisAPIDiskDumpStatus status;
  std::memset(&status, 0xAA, sizeof status);
  if (VelorantisAPIDiskDumpGetStatus(device, &status) != 0) return -1;
  for (uint8_t byte : status.reserved) {
    if (byte != 0) return -1;
  }
  return status.running;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

template <typename T>
T At(const std::string& bytes, size_t offset) {
  T value{};
  if (offset + sizeof value <= bytes.size())
    std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

// Checks the file begins with a Section Header Block and two Ethernet
// Interface Description Blocks with the given snaplen.
void ExpectCaptureFile(const std::string& path, uint32_t snaplen) {
  const std::string bytes = ReadBytes(path);
  ASSERT_GE(bytes.size(), 116u);
  EXPECT_EQ(At<uint32_t>(bytes, 0), 0x0A0D0D0Au);
  EXPECT_EQ(At<uint32_t>(bytes, 4), 28u);
  EXPECT_EQ(At<uint32_t>(bytes, 8), 0x1A2B3C4Du);
  EXPECT_EQ(At<uint16_t>(bytes, 12), 1u);
  EXPECT_EQ(At<uint16_t>(bytes, 14), 0u);
  EXPECT_EQ(At<int64_t>(bytes, 16), -1);
  EXPECT_EQ(At<uint32_t>(bytes, 24), 28u);
  EXPECT_EQ(At<uint32_t>(bytes, 28), 1u);
  EXPECT_EQ(At<uint32_t>(bytes, 32), 44u);
  EXPECT_EQ(At<uint16_t>(bytes, 36), 1u);
  EXPECT_EQ(At<uint16_t>(bytes, 38), 0u);
  EXPECT_EQ(At<uint32_t>(bytes, 40), snaplen);
  EXPECT_EQ(At<uint32_t>(bytes, 84), snaplen);
}

TEST_F(SimCaptureTest, RunsFromStartToStop) {
  void* device = Device();
  ASSERT_NE(device, nullptr);
  const std::string path = dir_ + "/capture.pcapng";
  EXPECT_EQ(Running(device), 0);
  EXPECT_EQ(VelorantisAPIDiskDumpStop(device), 0);  // idle: nothing to do
  ASSERT_EQ(Configure(device, path), 0);
  EXPECT_EQ(VelorantisAPIDiskDumpStart(device), 0);
  EXPECT_EQ(Running(device), 1);
  EXPECT_NE(VelorantisAPIDiskDumpStart(device), 0);
  EXPECT_EQ(Running(device), 1);
  EXPECT_EQ(VelorantisAPIDiskDumpStop(device), 0);
  EXPECT_EQ(Running(device), 0);
  EXPECT_EQ(VelorantisAPIDiskDumpStop(device), 0);
  EXPECT_EQ(VelorantisAPIDiskDumpStart(device), 0);  // and again
  EXPECT_EQ(Running(device), 1);
}

TEST_F(SimCaptureTest, WritesPcapngHeadersOverAnyOldFile) {
  void* device = Device();
  const std::string path = dir_ + "/capture.pcapng";
  std::ofstream(path) << std::string(1000, 'x');
  ASSERT_EQ(Configure(device, path), 0);
  ASSERT_EQ(VelorantisAPIDiskDumpStart(device), 0);
  ExpectCaptureFile(path, 65535);
}

struct SlicingCase {
  uint32_t enabled;
  uint16_t bytes;
  int fail_features;  // 1: the device refuses the features
  uint32_t snaplen;
};

TEST_F(SimCaptureTest, SlicingSetsTheSnaplen) {
  const SlicingCase cases[] = {
      {1, 128, 0, 128},
      {0, 128, 0, 65535},
      {1, 0, 0, 65535},
      {1, 96, 1, 65535},
  };
  int number = 10;
  for (const SlicingCase& c : cases) {
    const std::string mac_digits = "0011223344" + std::to_string(number++);
    SCOPED_TRACE(mac_digits);
    std::ofstream(dir_ + "/devices")
        << mac_digits << " 3" << (c.fail_features ? " fail=features" : "") << "\n";
    void* device = Device();
    EXPECT_EQ(SetSlicing(device, c.enabled, c.bytes), c.fail_features);
    const std::string path = dir_ + "/" + mac_digits + ".pcapng";
    ASSERT_EQ(Configure(device, path), 0);
    ASSERT_EQ(VelorantisAPIDiskDumpStart(device), 0);
    ExpectCaptureFile(path, c.snaplen);
  }
}

TEST_F(SimCaptureTest, StartFailsWithoutAWritableDestination) {
  void* device = Device();
  std::ofstream(dir_ + "/target") << "kept";
  std::filesystem::create_symlink(dir_ + "/target", dir_ + "/link.pcapng");
  ASSERT_EQ(mkfifo((dir_ + "/fifo.pcapng").c_str(), 0644), 0);  // would block an open
  const std::string cases[] = {
      dir_ + "/no/such/dir/capture.pcapng",
      dir_,  // a directory
      "",
      dir_ + "/link.pcapng",
      dir_ + "/fifo.pcapng",
  };
  EXPECT_NE(VelorantisAPIDiskDumpStart(device), 0) << "no destination configured yet";
  EXPECT_EQ(Running(device), 0);
  for (const std::string& destination : cases) {
    SCOPED_TRACE(destination);
    ASSERT_EQ(Configure(device, destination), 0);
    EXPECT_NE(VelorantisAPIDiskDumpStart(device), 0);
    EXPECT_EQ(Running(device), 0);
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/no"));
  EXPECT_EQ(ReadBytes(dir_ + "/target"), "kept");
}

// A file-size limit fails writes as a full disk does.
TEST_F(SimCaptureTest, FullDiskEndsTheCaptureAtItsLastWholeBlock) {
  void* device = Device();
  const std::string path = dir_ + "/capture.pcapng";
  ASSERT_EQ(Configure(device, path), 0);
  rlimit usual{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &usual), 0);
  rlimit small = usual;
  small.rlim_cur = 56 << 10;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int started = VelorantisAPIDiskDumpStart(device);  // the writer inherits the limit
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &usual), 0);
  ASSERT_EQ(started, 0);
  for (int i = 0; i < 500 && Running(device) == 1; ++i) usleep(10000);
  ASSERT_EQ(Running(device), 0);
  VelorantisSimCapture capture{};
  ASSERT_EQ(VelorantisSimGetCapture(device, &capture), 0);
  const std::string bytes = ReadBytes(path);
  EXPECT_NE(capture.error, 0);
  EXPECT_EQ(capture.written, bytes.size());
  size_t at = 0;  // every block whole: its length field leads to the next
  while (at + 8 <= bytes.size() && At<uint32_t>(bytes, at + 4) >= 12)
    at += At<uint32_t>(bytes, at + 4);
  EXPECT_EQ(at, bytes.size());
}

TEST_F(SimCaptureTest, ConfigAppliesToTheNextStart) {
  void* device = Device();
  const std::string first = dir_ + "/first.pcapng", second = dir_ + "/second.pcapng";
  ASSERT_EQ(Configure(device, first), 0);
  ASSERT_EQ(VelorantisAPIDiskDumpStart(device), 0);
  ASSERT_EQ(Configure(device, second), 0);
  EXPECT_FALSE(std::filesystem::exists(second));
  ASSERT_EQ(VelorantisAPIDiskDumpStop(device), 0);
  ASSERT_EQ(VelorantisAPIDiskDumpStart(device), 0);
  ExpectCaptureFile(second, 65535);
}

TEST_F(SimCaptureTest, DevicesKeepTheirOwnState) {
  std::ofstream(dir_ + "/devices") << "001122334455 3\n665544332211 4\n";
  VelorantisAPIDeviceList* list = VelorantisAPIGetDevicesList();
  ASSERT_EQ(list->count, 2);
  void* one = list->first->handle;
  void* two = list->first->next->handle;
  VelorantisApiDeviceListFree(list);
  ASSERT_EQ(Configure(one, dir_ + "/one.pcapng"), 0);
  EXPECT_NE(VelorantisAPIDiskDumpStart(two), 0) << "the other device has no destination";
  ASSERT_EQ(VelorantisAPIDiskDumpStart(one), 0);
  EXPECT_EQ(Running(one), 1);
  EXPECT_EQ(Running(two), 0);
}

// Runs `body` in a child process; returns its exit status, or -1.
template <typename Body>
int InChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST_F(SimCaptureTest, StateOutlivesTheProcess) {
  const std::string path = dir_ + "/capture.pcapng";
  // A settings-only process, then one that starts, as the back end does.
  ASSERT_EQ(InChild([&] { return Configure(Device(), path); }), 0);
  ASSERT_EQ(InChild([] { return VelorantisAPIDiskDumpStart(Device()); }), 0);
  void* device = Device();
  EXPECT_EQ(Running(device), 1);
  ExpectCaptureFile(path, 65535);
  EXPECT_EQ(VelorantisAPIDiskDumpStop(device), 0);
  EXPECT_EQ(InChild([] { return Running(Device()); }), 0);
}

// Starts the device from `racers` processes released at once; returns how
// many of them succeeded, or -1 when a process could not be run.
int RaceStarts(int racers) {
  int gate[2];
  if (pipe(gate) != 0) return -1;
  std::vector<pid_t> children;
  for (int i = 0; i < racers; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      close(gate[1]);
      char byte;
      // Every child waits here until the parent closes the pipe.
      while (read(gate[0], &byte, 1) < 0 && errno == EINTR) {
      }
      _exit(VelorantisAPIDiskDumpStart(Device()) == 0 ? 0 : 1);
    }
    if (pid > 0) children.push_back(pid);
  }
  close(gate[0]);
  close(gate[1]);
  int started = children.size() == static_cast<size_t>(racers) ? 0 : -1;
  for (pid_t pid : children) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) started = -1;
    if (started >= 0 && WEXITSTATUS(status) == 0) ++started;
  }
  return started;
}

TEST_F(SimCaptureTest, ConcurrentStartsStartOnce) {
  ASSERT_EQ(Configure(Device(), dir_ + "/capture.pcapng"), 0);
  // Several rounds, as a lost race shows only now and then.
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(RaceStarts(8), 1);
    EXPECT_EQ(Running(Device()), 1);
    ExpectCaptureFile(dir_ + "/capture.pcapng", 65535);
    ASSERT_EQ(VelorantisAPIDiskDumpStop(Device()), 0);
  }
}

}  // namespace
