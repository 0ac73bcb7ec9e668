// The start command, in process, against the simulated device library.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <vector>

#include <sqlite3.h>

#include "helper/capture/capture_commands.h"
#include "helper/frontend/request_vars.h"
#include "shared/available_memory.h"
#include "support/command_answer.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"

namespace {

const std::string kSuccess = "\"result\": 0,\n\"message\": \"\"";
const char kDevice[] = "00:11:22:33:44:55 3\n";

std::string Failure(const std::string& message) {
  return "\"result\": -1,\n\"message\": \"" + message + "\"";
}

std::string RunStart(const std::string& query) {
  static const TempDir dir;
  static const std::string lockFile = dir.File("device.lock");
  static const std::string configDb = [] {
    CreateFromSchema(dir.File("config.db"), "config.sql");
    return dir.File("config.db");
  }();
  program_paths.lockFile = lockFile.c_str();
  program_paths.configDb = configDb.c_str();
  ResponseBody body;
  AnswerOf("start", RequestOfQuery(query), body);
  const std::string& out = body.text;
  EXPECT_TRUE(nlohmann::json::accept("{" + out + "}")) << out;
  return out;
}

// The capture operations the device saw, in order, with their results.
std::vector<std::string> CaptureCalls(const SimDir& sim) {
  std::vector<std::string> calls;
  for (const std::string& line : sim.Calls()) {
    if (line.starts_with("DiskDump") || line.starts_with("SetDeviceFeatures")) {
      calls.push_back(line.substr(0, line.find(' ', line.find(' ') + 1)));
    }
  }
  return calls;
}

// Where the value of " ramSize=" lies in a calls.log line: [begin, end).
std::pair<size_t, size_t> RamSizeSpan(const std::string& line) {
  const std::string key = " ramSize=";
  const size_t key_at = line.find(key);
  if (key_at == std::string::npos) return {line.size(), line.size()};
  const size_t begin = key_at + key.size();
  return {begin, line.find(' ', begin)};
}

// The DiskDumpSetConfig lines with the memory figure, which changes from call
// to call, as "ramSize=*".
std::vector<std::string> ConfigLines(const SimDir& sim) {
  std::vector<std::string> lines = sim.Calls("DiskDumpSetConfig");
  for (std::string& line : lines) {
    const auto [begin, end] = RamSizeSpan(line);
    if (begin < line.size()) line.erase(begin, end - begin).insert(begin, 1, '*');
  }
  return lines;
}

std::string ConfigLine(const std::string& numbers, const std::string& destination, int result = 0) {
  return "DiskDumpSetConfig " + std::to_string(result) + " 00:11:22:33:44:55 " + numbers +
         " destination=" + destination;
}

const std::vector<std::string> kStarted = {"DiskDumpGetStatus 0", "SetDeviceFeatures 0",
                                           "DiskDumpSetConfig 0", "DiskDumpStart 0"};

class StartCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { sim_.WriteDevices(kDevice); }

  std::string StartQuery(const std::string& output, const std::string& numbers) {
    return "mac=default&output=" + output + numbers;
  }

  SimDir sim_;
  TempDir out_;
};

TEST_F(StartCommandTest, StartsWithTheRequestedSettings) {
  EXPECT_EQ(RunStart(StartQuery(out_.path(), "&loop=1&count=0&size=100&duration=0")), kSuccess);
  const std::string capture = out_.path() + "/Velorantis.pcapng";
  EXPECT_EQ(ConfigLines(sim_),
            std::vector<std::string>{ConfigLine(
                "loop=1 reserved1=0 size=104857600 ramSize=* count=0 duration=0", capture)});
  EXPECT_EQ(CaptureCalls(sim_), kStarted);
  EXPECT_TRUE(std::filesystem::exists(capture));
}

TEST_F(StartCommandTest, NumbersAsTheLibraryReceivesThem) {
  struct Case {
    const char* numbers;
    const char* fields;
  };
  const Case cases[] = {
      {"&loop=5&count=4294967297&size=100&duration=4294967303",
       "loop=1 reserved1=0 size=104857600 ramSize=* count=1 duration=7"},
      {"&loop=0&count=-1&size=abc&duration=",
       "loop=0 reserved1=0 size=0 ramSize=* count=4294967295 duration=0"},
      {"&loop=abc&count=2147483648&size=17592186044417&duration=4294967295",
       "loop=0 reserved1=0 size=1048576 ramSize=* count=2147483648 duration=4294967295"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.numbers);
    SimDir sim;
    sim.WriteDevices(kDevice);
    TempDir out;
    EXPECT_EQ(RunStart(StartQuery(out.path(), c.numbers)), kSuccess);
    EXPECT_EQ(ConfigLines(sim),
              std::vector<std::string>{ConfigLine(c.fields, out.path() + "/Velorantis.pcapng")});
  }
}

TEST_F(StartCommandTest, RamSizeIsHalfTheAvailableMemory) {
  const uint64_t before = GetAvailableRAMSize();
  EXPECT_EQ(RunStart(StartQuery(out_.path(), "&loop=1&count=0&size=1&duration=0")), kSuccess);
  const uint64_t after = GetAvailableRAMSize();
  const std::vector<std::string> lines = sim_.Calls("DiskDumpSetConfig");
  ASSERT_EQ(lines.size(), 1u);
  const auto [begin, end] = RamSizeSpan(lines[0]);
  ASSERT_LT(end, lines[0].size()) << lines[0];
  const uint64_t ramSize = std::stoull(lines[0].substr(begin, end - begin));
  constexpr uint64_t kSlack = uint64_t{64} << 20;
  EXPECT_EQ(ramSize % (static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) / 2), 0u);
  EXPECT_GE(ramSize + kSlack, std::min(before, after) / 2);
  EXPECT_LE(ramSize, std::max(before, after) / 2 + kSlack);
}

TEST_F(StartCommandTest, DestinationIsTheOutputFollowedByTheFileName) {
  const std::string accented = out_.path() + "/\xc3\xa9t\xc3\xa9";
  std::filesystem::create_directory(accented);
  struct Case {
    const char* name;
    std::string output;  // as sent, encoded where needed
    const char* deviceOptions;
    std::string destination;
    std::string answer;
  };
  const Case cases[] = {
      {"directory", out_.path(), "", out_.path() + "/Velorantis.pcapng", kSuccess},
      {"trailing slash", out_.path() + "/", "", out_.path() + "//Velorantis.pcapng", kSuccess},
      {"UTF-8", out_.path() + "/%C3%A9t%C3%A9", "", accented + "/Velorantis.pcapng", kSuccess},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimDir sim;
    sim.WriteDevices(std::string("00:11:22:33:44:55 3") + c.deviceOptions + "\n");
    EXPECT_EQ(RunStart(StartQuery(c.output, "&loop=1&count=0&size=1&duration=0")), c.answer);
    EXPECT_EQ(ConfigLines(sim),
              std::vector<std::string>{ConfigLine(
                  "loop=1 reserved1=0 size=1048576 ramSize=* count=0 duration=0", c.destination)});
    if (c.answer == kSuccess) {
      EXPECT_TRUE(std::filesystem::exists(c.destination));
    }
  }
}

TEST_F(StartCommandTest, FailuresInOrder) {
  const std::string output = "&output=" + out_.path();
  const std::string numbers = "&loop=1&count=0&size=1&duration=0";
  struct Case {
    std::string devices;
    std::string query;
    std::string message;
    std::vector<std::string> captureCalls;
  };
  const Case cases[] = {
      {kDevice, "", "Invalid MAC address", {}},
      {kDevice, "mac=00:00:00:00:00:99", "Invalid MAC address", {}},
      {kDevice, "mac=00:11:22:33:44:55" + numbers, "Invalid destination value", {}},
      {"", "mac=default" + output + numbers, "Invalid MAC address", {}},
      {"00:11:22:33:44:55 3 fail=mac\n",
       "mac=default" + output + numbers,
       "Invalid MAC address",
       {}},
      {kDevice, "mac=default" + output, "Invalid loop value", {}},
      {kDevice, "mac=default" + output + "&count=0&size=1&duration=0", "Invalid loop value", {}},
      {kDevice, "mac=default" + output + "&loop=1", "Invalid count value", {}},
      {kDevice, "mac=default" + output + "&loop=1&count=0", "Invalid size value", {}},
      {kDevice, "mac=default" + output + "&loop=1&count=0&size=1", "Invalid duration value", {}},
      {"00:11:22:33:44:55 3 fail=status\n",
       "mac=default" + output + numbers,
       "Failed to get capture status",
       {"DiskDumpGetStatus 1"}},
      {"00:11:22:33:44:55 3 fail=features\n",
       "mac=default" + output + numbers,
       "Failed to set device features",
       {"DiskDumpGetStatus 0", "SetDeviceFeatures 1"}},
      {"00:11:22:33:44:55 3 fail=config\n",
       "mac=default" + output + numbers,
       "Failed to set capture configuration",
       {"DiskDumpGetStatus 0", "SetDeviceFeatures 0", "DiskDumpSetConfig 1"}},
      {"00:11:22:33:44:55 3 fail=start\n",
       "mac=default" + output + numbers,
       "Failed to start capture",
       {"DiskDumpGetStatus 0", "SetDeviceFeatures 0", "DiskDumpSetConfig 0", "DiskDumpStart 1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    SimDir sim;
    sim.WriteDevices(c.devices);
    EXPECT_EQ(RunStart(c.query), Failure(c.message));
    EXPECT_EQ(CaptureCalls(sim), c.captureCalls);
  }
}

// Each refusal names its reason, before the device is asked anything, and
// touches nothing: not the file a link points to.
TEST_F(StartCommandTest, RefusesDestinationsItCannotUse) {
  const std::string target = out_.File("target");
  WriteFile(target, "kept");
  const std::string names[] = {"link", "fifo", "folder"};
  for (const std::string& name : names) std::filesystem::create_directory(out_.File(name));
  std::filesystem::create_symlink(target, out_.File("link/Velorantis.pcapng"));
  ASSERT_EQ(mkfifo(out_.File("fifo/Velorantis.pcapng").c_str(), 0644), 0);
  std::filesystem::create_directory(out_.File("folder/Velorantis.pcapng"));
  const std::pair<std::string, std::string> cases[] = {
      {out_.File("missing"), "Destination folder does not exist"},
      {out_.path() + "/" + std::string(5000, 'n'), "Destination folder does not exist"},
      {target, "Destination is not a folder"},
      {"/proc", "Destination folder is not writable"},
      {out_.File("link"), "Capture file is not a regular file"},
      {out_.File("fifo"), "Capture file is not a regular file"},
      {out_.File("folder"), "Capture file is not a regular file"},
  };
  for (const auto& [output, message] : cases) {
    SCOPED_TRACE(output);
    sim_.ClearCalls();
    EXPECT_EQ(RunStart(StartQuery(output, "&loop=1&count=0&size=1&duration=0")), Failure(message));
    EXPECT_EQ(CaptureCalls(sim_), std::vector<std::string>{});
  }
  EXPECT_EQ(ReadFile(target), "kept");
}

TEST_F(StartCommandTest, RunningCaptureIsLeftAlone) {
  TempDir second;
  const std::string numbers = "&loop=1&count=0&size=1&duration=0";
  ASSERT_EQ(RunStart(StartQuery(out_.path(), numbers)), kSuccess);
  const std::string deviceConfig = ReadFile(sim_.path() + "/001122334455.config");
  ASSERT_NE(deviceConfig, "");
  sim_.ClearCalls();
  EXPECT_EQ(RunStart(StartQuery(second.path(), "&loop=0&count=9&size=9&duration=9")),
            Failure("Capture is already running"));
  EXPECT_EQ(CaptureCalls(sim_), std::vector<std::string>{"DiskDumpGetStatus 0"});
  EXPECT_FALSE(std::filesystem::exists(second.path() + "/Velorantis.pcapng"));
  EXPECT_EQ(ReadFile(sim_.path() + "/001122334455.capture"), out_.path() + "/Velorantis.pcapng\n");
  EXPECT_EQ(ReadFile(sim_.path() + "/001122334455.config"), deviceConfig);
}

TEST_F(StartCommandTest, StartsOnTheDeviceTheRequestNames) {
  const std::string devices =
      "00:00:00:00:00:01 3 fail=type\n"
      "00:00:00:00:00:02 3\n"
      "00:00:00:00:00:03 3\n";
  struct Case {
    const char* mac;
    const char* chosen;
  };
  const Case cases[] = {
      {"default", "00:00:00:00:00:02"},
      {"00:00:00:00:00:03", "00:00:00:00:00:03"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mac);
    SimDir sim;
    sim.WriteDevices(devices);
    TempDir out;
    EXPECT_EQ(RunStart(std::string("mac=") + c.mac + "&output=" + out.path() +
                       "&loop=1&count=0&size=1&duration=0"),
              kSuccess);
    const std::vector<std::string> starts = sim.Calls("DiskDumpStart");
    EXPECT_EQ(starts, std::vector<std::string>{std::string("DiskDumpStart 0 ") + c.chosen});
  }
}

// SQLite's allocations fail from the `sqlite_allocations_left`-th on (-1:
// none fails), while a SqliteMemoryFailure lives.
int sqlite_allocations_left = -1;
sqlite3_mem_methods real_sqlite_memory;

bool TakeAllocation() {
  if (sqlite_allocations_left < 0) return true;
  if (sqlite_allocations_left == 0) return false;
  --sqlite_allocations_left;
  return true;
}
void* FailingMalloc(int size) {
  return TakeAllocation() ? real_sqlite_memory.xMalloc(size) : nullptr;
}
void* FailingRealloc(void* p, int size) {
  return TakeAllocation() ? real_sqlite_memory.xRealloc(p, size) : nullptr;
}

struct SqliteMemoryFailure {
  SqliteMemoryFailure() {
    sqlite3_shutdown();
    sqlite3_config(SQLITE_CONFIG_GETMALLOC, &real_sqlite_memory);
    sqlite3_mem_methods failing = real_sqlite_memory;
    failing.xMalloc = FailingMalloc;
    failing.xRealloc = FailingRealloc;
    sqlite3_config(SQLITE_CONFIG_MALLOC, &failing);
    sqlite3_initialize();
  }
  ~SqliteMemoryFailure() {
    sqlite3_shutdown();
    sqlite3_config(SQLITE_CONFIG_MALLOC, &real_sqlite_memory);
    sqlite3_initialize();
  }
};

// Wherever SQLite runs out of memory during a start (the configuration, the
// ledger's claim, the policy), the answer is "Not enough memory": no other
// failure, and nothing reported as done.
TEST(StartCommand, SqliteOutOfMemoryAnswersNotEnoughMemory) {
  RunStart("mac=none");  // the paths, made while SQLite still has memory
  SqliteMemoryFailure failing;
  int failures = 0;
  bool started = false;
  for (int allocations = 0; allocations < 20000 && !started; ++allocations) {
    SimDir sim;
    sim.WriteDevices(kDevice);
    TempDir out;
    sqlite_allocations_left = allocations;
    const std::string answer =
        RunStart("mac=default&output=" + out.path() + "&loop=1&count=0&size=1&duration=0");
    sqlite_allocations_left = -1;
    started = answer == kSuccess;
    if (started) break;
    ASSERT_EQ(answer, Failure("Not enough memory")) << "SQLite allocation " << allocations;
    ++failures;
  }
  EXPECT_TRUE(started);
  EXPECT_GT(failures, 0);
}

}  // namespace

// Stop runs in-process too, under the lock file the paths record names.
TEST_F(StartCommandTest, StopEndsTheCaptureUnderTheLockItIsGiven) {
  const std::string query = StartQuery(out_.path(), "&loop=1&count=0&size=1&duration=0");
  ASSERT_EQ(RunStart(query), kSuccess);
  const std::string unreachable = out_.File("missing/device.lock");
  const std::string reachable = out_.File("device.lock");
  for (const auto& [lockFile, answer, stopCalls] :
       {std::tuple{unreachable, Failure("Cannot open the device lock file"), 0u},
        std::tuple{reachable, kSuccess, 1u}}) {
    sim_.ClearCalls();
    program_paths.lockFile = lockFile.c_str();
    ResponseBody body;
    AnswerOf("stop", RequestOfQuery(query), body);
    EXPECT_EQ(body.text, answer);
    EXPECT_EQ(sim_.Calls("DiskDumpStop").size(), stopCalls);
  }
  program_paths = {};
  EXPECT_FALSE(std::filesystem::exists(sim_.path() + "/001122334455.capture"));
}
