// Captures that cannot collide or vanish, and the ledger that remembers each
// one, through the program as the web server runs it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "support/run_program.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"
#include "support/test_rounds.h"

namespace {

const std::string kSuccess = "\"result\": 0,\n\"message\": \"\"";
const std::string kA = "00:11:22:33:44:55";
const std::string kB = "00:11:22:33:44:56";

std::string Failure(const std::string& message) {
  return "\"result\": -1,\n\"message\": \"" + message + "\"";
}

std::string Start(const std::string& mac, const std::string& dir, const std::string& limits,
                  const std::string& user = "-") {
  const std::string query = "command=start&mac=" + mac + "&output=" + dir + "&" + limits;
  return RunProgram({VELORANTIS_HELPER_PATH}, {{"QUERY_STRING", query}, {"REMOTE_USER", user}}).out;
}

nlohmann::json Captures(const std::string& query) {
  const std::string out = HelperOutput("command=captures" + query);
  return nlohmann::json::parse(out.substr(out.find('{')))["root"]["captures"];
}

class CaptureLedgerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_.WriteDevices(kA + " 3\n" + kB + " 3\n00:11:22:33:44:57 3 fail=start\n");
    RecreateDatabase(kTestConfigDb, "config.sql");
  }

  SimDir sim_;
  TempDir out_;
};

TEST_F(CaptureLedgerTest, RemembersEveryStartAndHowItEnded) {
  ASSERT_EQ(HelperOutput("command=setconfig&mac=" + kA + "&output=/x&loop=0&count=0&size=1" +
                         "&duration=0&inline=0&slicing=96"),
            CgiResponse(kSuccess));
  EXPECT_EQ(Start(kA, out_.path(), "loop=1&count=0&size=100&duration=0", "alice"),
            CgiResponse(kSuccess));
  EXPECT_EQ(RunProgram({VELORANTIS_HELPER_PATH},
                       {{"QUERY_STRING", "command=stop&mac=" + kA}, {"REMOTE_USER", "bob"}})
                .out,
            CgiResponse(kSuccess));
  EXPECT_EQ(Start(kA, out_.path(), "loop=0&count=50&size=0&duration=0"), CgiResponse(kSuccess));
  const TempDir other;
  EXPECT_EQ(Start("00:11:22:33:44:57", other.path(), "loop=0&count=0&size=0&duration=0"),
            CgiResponse(Failure("Failed to start capture")));
  while (Captures("&mac=" + kA)[0]["state"] == "running") std::this_thread::yield();

  const nlohmann::json all = Captures("");
  ASSERT_EQ(all.size(), 3u) << all;
  EXPECT_EQ(all[0]["state"], "failed");
  EXPECT_EQ(all[1]["state"], "ended");
  EXPECT_EQ(all[1]["file"], out_.File("Velorantis.pcapng"));
  EXPECT_EQ(all[1]["startedby"], "-");
  const nlohmann::json& stopped = all[2];
  EXPECT_EQ(stopped["state"], "stopped");
  EXPECT_EQ(stopped["startedby"], "alice");
  EXPECT_EQ(stopped["stoppedby"], "bob");
  EXPECT_GE(stopped["ended"], stopped["started"]);
  EXPECT_EQ(stopped["settings"]["slicing"], 96);  // the stored slicing, as getconfig shows it
  EXPECT_EQ(stopped["settings"]["size"], 100);
  // The second capture into the folder kept the first under a dated name.
  const std::string kept = stopped["file"];
  EXPECT_TRUE(kept.starts_with(out_.File("Velorantis-"))) << kept;
  EXPECT_EQ(stopped["size"], std::filesystem::file_size(kept));
  EXPECT_EQ(Captures("&mac=" + kA + "&limit=1&before=" + std::to_string(int(all[1]["id"]))),
            nlohmann::json::array({stopped}));
}

// Two devices started into one folder at once: one writes the file, the
// other is refused; each round's capture is kept whole when the next starts.
TEST_F(CaptureLedgerTest, TwoDevicesNeverShareAFile) {
  const int rounds = TestRounds(8);
  for (int round = 0; round < rounds; ++round) {
    std::string answers[2];
    std::thread other(
        [&] { answers[1] = Start(kB, out_.path(), "loop=0&count=0&size=0&duration=0"); });
    answers[0] = Start(kA, out_.path(), "loop=0&count=0&size=0&duration=0");
    other.join();
    const int winner = answers[0] == CgiResponse(kSuccess) ? 0 : 1;
    ASSERT_EQ(answers[winner], CgiResponse(kSuccess)) << round;
    ASSERT_EQ(answers[1 - winner],
              CgiResponse(Failure("Capture file is in use by another device")));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(HelperOutput("command=stop&mac=" + (winner == 0 ? kA : kB)), CgiResponse(kSuccess));
    const ProgramResult info =
        RunHostProgram({VELORANTIS_CAPINFOS_PATH, out_.File("Velorantis.pcapng")}, {});
    ASSERT_EQ(info.exitStatus, 0) << info.err;
    EXPECT_NE(info.out.find("Strict time order:   True"), std::string::npos) << info.out;
    const auto files = std::distance(std::filesystem::directory_iterator(out_.path()), {});
    EXPECT_EQ(files, round + 1);
  }
}

// A device that never answers holds the devices only until the deadline.
TEST_F(CaptureLedgerTest, HungDeviceAnswersAtItsDeadline) {
  WriteFile(sim_.path() + "/001122334455.capture", out_.File("Velorantis.pcapng") + "\n");
  // The library reads the writer's state to tell whether it runs: a FIFO
  // there blocks it as a hung disk would.
  ASSERT_EQ(mkfifo((sim_.path() + "/001122334455.writer").c_str(), 0644), 0);
  const std::string hung = Start(kA, out_.path(), "loop=0&count=0&size=0&duration=0");
  EXPECT_EQ(hung, CgiResponse(Failure("Device did not answer in time")));
  EXPECT_EQ(Start(kB, out_.path(), "loop=0&count=0&size=0&duration=0"), CgiResponse(kSuccess));
  unlink((sim_.path() + "/001122334455.capture").c_str());
  unlink((sim_.path() + "/001122334455.writer").c_str());
}

}  // namespace
