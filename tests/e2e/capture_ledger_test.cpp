// Captures that cannot collide or vanish, and the ledger that remembers each
// one, through the program as the web server runs it.
#include <gtest/gtest.h>
#include <sqlite3.h>
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
  // Noticed seconds after it ended, the capture keeps its own end.
  std::this_thread::sleep_for(std::chrono::seconds(3));
  while (Captures("&mac=" + kA)[0]["state"] == "running") std::this_thread::yield();

  const nlohmann::json all = Captures("");
  ASSERT_EQ(all.size(), 3u) << all;
  EXPECT_EQ(all[0]["state"], "failed");
  EXPECT_EQ(all[1]["state"], "ended");
  EXPECT_LE(int64_t{all[1]["ended"]} - int64_t{all[1]["started"]}, 2);
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

// A claim left by a start that crashed before the device answered is
// settled by the next request that asks its device.
TEST_F(CaptureLedgerTest, ClaimLeftByACrashIsSettled) {
  ASSERT_EQ(Captures("").size(), 0u);  // creates the records database
  ExecSql(kTestRecordsDb,
          "INSERT INTO captures (mac, file, loop, count, size, duration, inline, slicing, state, "
          "started, startedby, startedfrom) VALUES ('" +
              kA + "', '" + out_.File("Velorantis.pcapng") +
              "', 0, 0, 0, 0, 1, 0, 'starting', 1, '-', '-')");
  const nlohmann::json settled = Captures("&mac=" + kA);
  EXPECT_EQ(settled[0]["state"], "failed");
  EXPECT_EQ(settled[0]["size"], -1);
  EXPECT_EQ(Start(kA, out_.path(), "loop=0&count=0&size=0&duration=0"), CgiResponse(kSuccess));
}

// A device unplugged while its capture runs holds the folder only until its
// file has stopped growing.
TEST_F(CaptureLedgerTest, UnpluggedDeviceFreesItsFolder) {
  ASSERT_EQ(Start(kB, out_.path(), "loop=0&count=300&size=0&duration=0"), CgiResponse(kSuccess));
  sim_.WriteDevices(kA + " 3\n");
  const auto unplugged = std::chrono::steady_clock::now();
  EXPECT_EQ(Start(kA, out_.path(), "loop=0&count=0&size=0&duration=0"),
            CgiResponse(Failure("Capture file is in use by another device")));
  std::string answer;
  while (std::chrono::steady_clock::now() - unplugged < std::chrono::seconds(30) &&
         answer != CgiResponse(kSuccess)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    answer = Start(kA, out_.path(), "loop=0&count=0&size=0&duration=0");
  }
  EXPECT_EQ(answer, CgiResponse(kSuccess));
  const nlohmann::json gone = Captures("&mac=" + kB);
  EXPECT_EQ(gone[0]["state"], "gone");
  EXPECT_GT(gone[0]["size"], 0);
}

// What start does when the ledger cannot record its claim, and when there
// is no records database yet: never a capture that the ledger does not know.
TEST_F(CaptureLedgerTest, StartNeedsItsClaimRecorded) {
  const std::string wal = std::string(kTestRecordsDb) + "-wal";
  const std::string oldLedger =
      "CREATE TABLE captures (id INTEGER PRIMARY KEY AUTOINCREMENT, mac TEXT NOT NULL, file TEXT "
      "NOT NULL, loop INTEGER NOT NULL, count INTEGER NOT NULL, size INTEGER NOT NULL, duration "
      "INTEGER NOT NULL, inline INTEGER NOT NULL, slicing INTEGER NOT NULL, state TEXT NOT NULL, "
      "started INTEGER NOT NULL, startedby TEXT NOT NULL, startedfrom TEXT NOT NULL, ended "
      "INTEGER NOT NULL DEFAULT 0, stoppedby TEXT NOT NULL DEFAULT '', stoppedfrom TEXT NOT NULL "
      "DEFAULT '', error INTEGER NOT NULL DEFAULT 0); INSERT INTO captures VALUES (7, '" +
      kB + "', '/old.pcapng', 0, 0, 0, 0, 1, 0, 'stopped', 1, 'carol', '-', 2, 'dave', '-', 0);";
  const struct {
    const char* name;
    std::vector<std::string> strace;  // the program run under strace with these faults
    bool holdWriteLock;
    std::string configSql;  // run on the configuration database first
    std::string answer, logged;
    std::string recordsSql = "";  // run on the records database first
  } cases[] = {
      {"write lock held", {}, true, "", "Capture ledger is not available", "database is locked"},
      {"read-only",
       {"-P", kTestRecordsDb, "-e", "inject=openat:error=EROFS:when=1"},
       false,
       "",
       "Capture ledger is not available",
       "readonly database"},
      {"file system full",
       {"-P", wal, "-e", "inject=write,pwrite64:error=ENOSPC"},
       false,
       "",
       "Capture ledger is not available",
       "database or disk is full"},
      {"later version",
       {},
       false,
       "",
       "Records database is newer than this program",
       "(user_version 99)",
       "PRAGMA user_version = 99"},
      {"missing", {}, false, "", "", ""},
      {"older configuration database", {}, false, oldLedger, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.strace.empty() && UnderEmulator()) continue;
    RecreateDatabase(kTestConfigDb, "config.sql");
    if (!c.configSql.empty()) ExecSql(kTestConfigDb, c.configSql);
    if (c.name != std::string("missing") && c.configSql.empty()) {
      CreateFromSchema(kTestRecordsDb, "records.sql");
      if (!c.recordsSql.empty()) ExecSql(kTestRecordsDb, c.recordsSql);
    }
    sqlite3* holder = nullptr;
    if (c.holdWriteLock) {
      ASSERT_EQ(sqlite3_open(kTestRecordsDb, &holder), SQLITE_OK);
      ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    std::vector<std::string> argv;
    if (!c.strace.empty()) {
      argv = {"strace", "-qq", "-o", "/dev/null", "-e", "signal=none"};
      argv.insert(argv.end(), c.strace.begin(), c.strace.end());
    }
    argv.push_back(VELORANTIS_HELPER_PATH);
    sim_.ClearCalls();
    const std::vector<EnvChange> env = {{"QUERY_STRING", "command=start&mac=" + kA +
                                                             "&output=" + out_.path() +
                                                             "&loop=0&count=0&size=0&duration=0"}};
    const ProgramResult result =
        c.strace.empty() ? RunProgram(argv, env) : RunHostProgram(argv, env);
    sqlite3_close(holder);
    if (c.answer.empty()) {
      EXPECT_EQ(result.out, CgiResponse(kSuccess)) << result.err;
      EXPECT_EQ(Captures("&mac=" + kA)[0]["state"], "running");
      EXPECT_EQ(HelperOutput("command=stop&mac=" + kA), CgiResponse(kSuccess));
      continue;
    }
    EXPECT_EQ(result.out, CgiResponse(Failure(c.answer)));
    EXPECT_NE(result.err.find(c.logged), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(kTestRecordsDb), std::string::npos) << result.err;
    EXPECT_TRUE(sim_.Calls("DiskDumpStart").empty());
    EXPECT_TRUE(sim_.Calls("SetDeviceFeatures").empty());
    if (!c.recordsSql.empty()) {  // left as it was, unread and unwritten
      EXPECT_EQ(QueryText(kTestRecordsDb, "PRAGMA user_version"), "99");
      EXPECT_EQ(QueryText(kTestRecordsDb, "SELECT count(*) FROM captures"), "0");
      EXPECT_EQ(HelperOutput("command=captures"), CgiResponse(Failure(c.answer)));
    }
  }
  // The old ledger moved, and the configuration holds its one table again.
  const nlohmann::json moved = Captures("&mac=" + kB);
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_EQ(moved[0]["stoppedby"], "dave");
  EXPECT_EQ(moved[0]["state"], "missing");  // its file was not there to be recorded
  EXPECT_EQ(QueryText(kTestConfigDb, "SELECT count(*) FROM sqlite_schema WHERE name = 'captures'"),
            "0");
}

}  // namespace

// A capture that ends before the status daemon's next round: its end waits
// for that round, which brings the error figure it ended with.
TEST_F(CaptureLedgerTest, EndAwaitsTheDaemonsErrorFigure) {
  RecreateDatabase(kTestStatusDb, "status.sql");
  ExecSql(kTestStatusDb, "INSERT INTO device VALUES (1, '" + kA +
                             "', 'm'); INSERT INTO capture VALUES (1, 1, 0, 0, 0, 0, 0);");
  EXPECT_EQ(Start(kA, out_.path(), "loop=0&count=50&size=0&duration=0"), CgiResponse(kSuccess));
  std::this_thread::sleep_for(std::chrono::seconds(2));  // 50 frames: ended by now
  EXPECT_EQ(Captures("&mac=" + kA)[0]["state"], "running");
  ExecSql(kTestStatusDb, "UPDATE capture SET status = 0, error = 28");
  const nlohmann::json entry = Captures("&mac=" + kA)[0];
  EXPECT_EQ(entry["state"], "ended");
  EXPECT_EQ(entry["error"], 28);
  ExecSql(kTestStatusDb, "DELETE FROM capture; DELETE FROM device");
}
