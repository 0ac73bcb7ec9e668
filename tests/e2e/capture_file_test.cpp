// What a capture leaves on disk, judged by capinfos and tshark: the settings
// of the requests as the simulated device honours them, and the status that
// the stand-in daemon reports for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "VelorantisAPI.h"
#include "shared/discovery.h"
#include "support/run_program.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace {

constexpr char kMac[] = "00:11:22:33:44:55";
constexpr uint64_t kLargestBlock = 9000 + 32 + 3;  // a jumbo frame whole

bool Running() {
  VelorantisAPIDiskDumpStatus status{};
  return VelorantisAPIDiskDumpGetStatus(GetDeviceHandle(kMac), &status) == 0 && status.running;
}

// The numbers after each "Capture length = " / "Number of packets:" line.
std::vector<uint64_t> Numbers(const std::string& text, const std::string& label) {
  std::vector<uint64_t> numbers;
  for (size_t at = text.find(label); at != std::string::npos; at = text.find(label, at + 1)) {
    numbers.push_back(std::stoull(text.substr(at + label.size())));
  }
  return numbers;
}

uint64_t LongestCaptured(const std::string& file) {
  const ProgramResult shark = RunHostProgram(
      {VELORANTIS_TSHARK_PATH, "-r", file, "-T", "fields", "-e", "frame.cap_len"}, {});
  EXPECT_EQ(shark.exitStatus, 0) << shark.err << shark.out.substr(0, 200);
  std::istringstream lines(shark.out);
  uint64_t longest = 0;
  for (uint64_t length; lines >> length;) longest = std::max(longest, length);
  return longest;
}

struct Case {
  const char* name;
  int slicing;
  const char* limits;  // loop, count, size (MiB) and duration of the start request
  int stopAfterMs;     // 0: the capture ends by itself
  int64_t packets;     // -1: some
  uint64_t snaplen;
  uint64_t sizeLimit;  // bytes the file may hold at most, but for one block
};

TEST(CaptureFileTest, SettingsShapeTheFile) {
  SimDir sim;
  TempDir out;
  sim.WriteDevices(std::string(kMac) + " 3\n");
  RecreateDatabase(kTestConfigDb, "config.sql");
  RemoveDatabase(kTestStatusDb);
  VelorantisAPIInitialize();
  const Case cases[] = {
      {"count", 0, "loop=0&count=700&size=0&duration=0", 0, 700, 65535, 0},
      {"slicing", 96, "loop=0&count=300&size=0&duration=0", 0, 300, 96, 0},
      {"size", 0, "loop=0&count=0&size=1&duration=0", 0, -1, 65535, 1 << 20},
      {"size with loop", 0, "loop=1&count=0&size=1&duration=0", 1800, -1, 65535, 1 << 20},
      {"duration", 0, "loop=0&count=0&size=0&duration=1", 0, -1, 65535, 0},
      {"stop midway", 64, "loop=1&count=0&size=0&duration=0", 300, -1, 64, 0},
  };
  const std::string file = out.File("Velorantis.pcapng");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string output = "&mac=default&output=" + out.path() + "&";
    ASSERT_EQ(HelperOutput("command=setconfig" + output + "loop=0&count=0&size=1&duration=0" +
                           "&inline=0&slicing=" + std::to_string(c.slicing)),
              CgiResponse("\"result\": 0,\n\"message\": \"\""));
    HelperOutput("command=start" + output + c.limits);
    if (c.stopAfterMs > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(c.stopAfterMs));
      HelperOutput("command=stop&mac=default");
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Running() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_FALSE(Running());
    EXPECT_EQ(sim.Processes(), 0);

    const ProgramResult info = RunHostProgram({VELORANTIS_CAPINFOS_PATH, "-c", "-I", file}, {});
    ASSERT_EQ(info.exitStatus, 0) << info.out << info.err;
    const std::vector<uint64_t> packets = Numbers(info.out, "Number of packets:");
    ASSERT_EQ(packets.size(), 1u) << info.out;
    if (c.packets >= 0) {
      EXPECT_EQ(packets[0], static_cast<uint64_t>(c.packets));
    }
    EXPECT_GT(packets[0], 0u);
    EXPECT_EQ(Numbers(info.out, "Capture length = "), std::vector<uint64_t>(2, c.snaplen));
    EXPECT_LE(LongestCaptured(file), c.snaplen);
    const uint64_t size = std::filesystem::file_size(file);
    if (c.sizeLimit > 0) {
      EXPECT_LE(size, c.sizeLimit + kLargestBlock);
    }

    // The status agrees: written is the file, or more for a file that
    // started over.
    ASSERT_EQ(
        RunProgram({VELORANTIS_STATUSD_SIM_PATH, "--once", "--db", kTestStatusDb}, {}).exitStatus,
        0);
    const std::string status = HelperOutput(std::string("command=status&mac=") + kMac);
    const nlohmann::json capture = nlohmann::json::parse(status.substr(status.find('{')));
    EXPECT_EQ(capture["root"]["capture"]["status"], 0);
    if (std::string(c.limits).starts_with("loop=1") && c.sizeLimit > 0) {
      EXPECT_GT(capture["root"]["capture"]["written"].get<uint64_t>(), size)
          << "the file never started over";
    } else {
      EXPECT_EQ(capture["root"]["capture"]["written"], size);
    }
  }
}

}  // namespace
