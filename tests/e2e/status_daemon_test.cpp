// The stand-in status daemon against the simulated device library, and the
// status command reading what it wrote.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "VelorantisAPI.h"
#include "helper/frontend/request_vars.h"
#include "helper/status/status_command.h"
#include "shared/discovery.h"
#include "shared/paths.h"
#include "statusd_sim/status_store.h"
#include "support/command_answer.h"
#include "support/run_program.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace {

const char kHeader[] = "Content-type: application/json\n\n";
const std::string kDb = kTestStatusDb;

ProgramResult RunDaemon(std::vector<std::string> args) {
  args.insert(args.begin(), VELORANTIS_STATUSD_SIM_PATH);
  return RunProgram(args, {});
}

// The "root" object of a status answer; fails the test unless the helper
// wrote a clean response with result 0.
nlohmann::json StatusRoot(const std::string& query) {
  const ProgramResult result = RunHelper(query);
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out.compare(0, sizeof kHeader - 1, kHeader), 0) << result.out;
  const nlohmann::json document =
      nlohmann::json::parse(result.out.substr(sizeof kHeader - 1), nullptr, false);
  EXPECT_FALSE(document.is_discarded()) << result.out;
  if (document.is_discarded()) return {};
  EXPECT_EQ(document["root"]["result"], 0) << result.out;
  return document["root"];
}

// Rows of `table`, or -1 while the database cannot be read.
int64_t RowCount(const char* table) {
  sqlite3* db = nullptr;
  sqlite3_stmt* statement = nullptr;
  int64_t count = -1;
  const std::string sql = std::string("SELECT count(*) FROM ") + table;
  if (sqlite3_open_v2(kDb.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    count = sqlite3_column_int64(statement, 0);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return count;
}

// The one child process this test has running, or -1.
pid_t OnlyChild() {
  pid_t found = -1;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string text;
    if (!std::getline(stat, text)) continue;
    const size_t close = text.rfind(')');  // the command name may hold anything
    if (close == std::string::npos) continue;
    char state = 0;
    long parent = 0;
    if (sscanf(text.c_str() + close + 1, " %c %ld", &state, &parent) != 2) continue;
    if (parent == getpid()) found = std::stoi(entry.path().filename().string());
  }
  return found;
}

// Waits until `table` has `rows` rows; gives up after a while.
void WaitForRows(const char* table, int64_t rows) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (RowCount(table) < rows && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

class StatusDaemonTest : public testing::Test {
 protected:
  void SetUp() override {
    RemoveDatabase(kDb);
    sim_.WriteDevices("00:11:22:33:44:55 3\naa:bb:cc:dd:ee:0f 13\n");
  }

  SimDir sim_;
};

TEST_F(StatusDaemonTest, OneRoundThenStatusAnswersWithStatistics) {
  const ProgramResult daemon = RunDaemon({"--once", "--db", kDb});
  ASSERT_EQ(daemon.exitStatus, 0) << daemon.err;
  EXPECT_EQ(daemon.err, "");
  EXPECT_EQ(QueryText(kDb, "PRAGMA journal_mode"), "wal");
  // Every device once, then its capture status.
  EXPECT_EQ(sim_.Calls("DiskDumpGetStatus").size(), 2u);

  struct Case {
    const char* query;
    const char* mac;
    const char* model;
  };
  const Case cases[] = {
      {"command=status&mac=default", "00:11:22:33:44:55", "Velorantis-A1"},
      {"command=status&mac=aa:bb:cc:dd:ee:0f", "aa:bb:cc:dd:ee:0f", "Velorantis-C30"},
  };
  for (const Case& c : cases) {
    const nlohmann::json root = StatusRoot(c.query);
    EXPECT_EQ(root["info"]["mac"], c.mac) << c.query;
    EXPECT_EQ(root["info"]["model"], c.model) << c.query;
    EXPECT_EQ(root["capture"]["status"], 0) << c.query;
    EXPECT_EQ(root["statsV1"]["date"].size(), 1u) << c.query;
    EXPECT_EQ(root["statsV2"]["date"].size(), 1u) << c.query;
    EXPECT_GT(root["statsV1"]["totalpackets"][0].get<uint64_t>(), 0u) << c.query;
  }
  // The requests left the log to the daemon: closing the last connection
  // would have folded it back, after a lock that fails concurrent requests.
  EXPECT_TRUE(std::filesystem::exists(kDb + "-wal"));
}

TEST_F(StatusDaemonTest, DefaultDatabaseAndGrowingCountersOverRounds) {
  constexpr int kRounds = 3;
  // The daemon's default is the database the program reads, unless that is
  // the appliance's own: then the tests name theirs.
  std::vector<std::string> args = {"--once"};
  if (kDb != kStatusDatabasePath) args.insert(args.end(), {"--db", kDb});
  for (int round = 0; round < kRounds; ++round) {
    const ProgramResult daemon = RunDaemon(args);
    ASSERT_EQ(daemon.exitStatus, 0) << daemon.err;
  }
  const nlohmann::json root = StatusRoot("command=status&mac=default&limit=-1");
  for (const char* node : {"statsV1", "statsV2"}) {
    // Rounds within one second still get distinct, increasing dates.
    const auto dates = root[node]["date"].get<std::vector<int64_t>>();
    ASSERT_EQ(dates.size(), static_cast<size_t>(kRounds)) << node;
    for (size_t i = 1; i < dates.size(); ++i) EXPECT_GT(dates[i], dates[i - 1]) << node;
    const auto packets = root[node]["totalpackets"].get<std::vector<uint64_t>>();
    for (size_t i = 1; i < packets.size(); ++i) EXPECT_GT(packets[i], packets[i - 1]) << node;
    // Counters only grow, so no series ever wraps below zero.
    for (const auto& port : root[node]["ports"]) {
      for (const auto& [key, values] : port.items()) {
        const auto series = values.get<std::vector<uint64_t>>();
        for (size_t i = 0; i < series.size(); ++i) {
          EXPECT_LT(series[i], uint64_t{1} << 62) << node << " " << key;
          if (i > 0) {
            EXPECT_GE(series[i], series[i - 1]) << node << " " << key;
          }
        }
      }
    }
  }
}

TEST_F(StatusDaemonTest, CaptureRowFollowsTheLibrary) {
  TempDir out;
  VelorantisAPIInitialize();
  void* handle = GetDeviceHandle("aa:bb:cc:dd:ee:0f");
  ASSERT_NE(handle, NoDevice());
  const std::string file = out.File("Velorantis.pcapng");
  std::wstring destination(file.begin(), file.end());
  VelorantisAPIDiskDumpConfig config{};
  config.destination = destination.data();
  ASSERT_EQ(VelorantisAPIDiskDumpSetConfig(handle, config), 0);

  struct Step {
    int (*action)(void*);  // done to the device before the round
    int status;
    bool written;  // the capture has written data
  };
  const Step steps[] = {
      {nullptr, 0, false},
      {VelorantisAPIDiskDumpStart, 1, true},
      {nullptr, 1, true},
      {VelorantisAPIDiskDumpStop, 0, true},
  };
  uint64_t lastWritten = 0;
  for (const Step& step : steps) {
    if (step.action != nullptr) {
      ASSERT_EQ(step.action(handle), 0);
    }
    ASSERT_EQ(RunDaemon({"--once", "--db", kDb}).exitStatus, 0);
    const nlohmann::json capture = StatusRoot("command=status&mac=aa:bb:cc:dd:ee:0f")["capture"];
    EXPECT_EQ(capture["status"], step.status);
    EXPECT_EQ(capture["written"] > 0, step.written);
    EXPECT_GE(capture["written"].get<uint64_t>(), lastWritten);
    EXPECT_LE(capture["cacheused"].get<uint64_t>(), capture["maxcache"].get<uint64_t>());
    lastWritten = capture["written"].get<uint64_t>();
  }
  // The other device never captured.
  EXPECT_EQ(StatusRoot("command=status&mac=default")["capture"]["written"], 0);
}

// Samples at the largest date and counter: the next round's wrap around
// modulo 2^64 (the sanitizer build stops at a signed overflow).
TEST_F(StatusDaemonTest, CountersAndDatesWrapPastTheLargestValue) {
  CreateFromSchema(kDb, "status.sql");
  ExecSql(kDb,
          "INSERT INTO device VALUES (1, '00:11:22:33:44:55', 'Velorantis-A1');"
          "INSERT INTO stats_v1 (device, date, totalpackets)"
          " VALUES (1, 9223372036854775807, 9223372036854775807);"
          "INSERT INTO stats_v2 (device, date, totalpackets)"
          " VALUES (1, 9223372036854775807, 9223372036854775807);");
  const ProgramResult daemon = RunDaemon({"--once", "--db", kDb});
  ASSERT_EQ(daemon.exitStatus, 0) << daemon.err;
  EXPECT_EQ(daemon.err, "");
  for (const std::string table : {"stats_v1", "stats_v2"}) {
    const std::string latest = QueryText(
        kDb, "SELECT totalpackets FROM " + table + " WHERE device = 1 ORDER BY rowid DESC LIMIT 1");
    const uint64_t growth = static_cast<uint64_t>(std::stoll(latest)) - uint64_t{INT64_MAX};
    EXPECT_GT(growth, 0u) << table << " " << latest;
    EXPECT_LT(growth, uint64_t{1} << 32) << table << " " << latest;
  }
}

TEST_F(StatusDaemonTest, StopsCleanlyOnSignal) {
  for (int stopSignal : {SIGTERM, SIGINT}) {
    RemoveDatabase(kDb);
    ProgramResult daemon;
    std::thread running([&] { daemon = RunDaemon({"--interval", "0", "--db", kDb}); });
    WaitForRows("stats_v2", 6);  // a few rounds
    const pid_t child = OnlyChild();
    EXPECT_GT(child, 0);
    if (child > 0) kill(child, stopSignal);
    running.join();
    EXPECT_EQ(daemon.exitStatus, 0) << strsignal(stopSignal);
    EXPECT_EQ(daemon.err, "") << strsignal(stopSignal);
    // The connection was closed: the last one out folds the log back.
    EXPECT_FALSE(std::filesystem::exists(kDb + "-wal")) << strsignal(stopSignal);
    // Whole rounds only: one sample per device and table.
    EXPECT_EQ(RowCount("stats_v1"), RowCount("stats_v2"));
    EXPECT_EQ(RowCount("stats_v1") % 2, 0);
  }
}

// The daemon writes each round in one transaction and the status command
// reads in one, so however rounds and requests interleave, an answer holds
// whole rounds: as many samples in both series, and never fewer than an
// earlier answer.
TEST_F(StatusDaemonTest, EveryAnswerIsOneSnapshot) {
  constexpr int kRequests = 100;
  TempDir out;
  VelorantisAPIInitialize();
  void* handle = GetDeviceHandle("00:11:22:33:44:55");
  const std::string file = out.File("Velorantis.pcapng");
  std::wstring destination(file.begin(), file.end());
  VelorantisAPIDiskDumpConfig config{};
  config.destination = destination.data();
  ASSERT_EQ(VelorantisAPIDiskDumpSetConfig(handle, config), 0);
  ASSERT_EQ(VelorantisAPIDiskDumpStart(handle), 0);

  ProgramResult daemon;
  std::thread running([&] { daemon = RunDaemon({"--interval", "0", "--db", kDb}); });
  WaitForRows("stats_v2", 2);
  size_t lastRounds = 0;
  for (int i = 0; i < kRequests && !HasFailure(); ++i) {
    program_paths.statusDb = kDb.c_str();
    ResponseBody body;
    const int status =
        AnswerOf("status", RequestOfQuery("mac=00:11:22:33:44:55&from=0&limit=-1"), body);
    const std::string& text = body.text;
    const nlohmann::json root = nlohmann::json::parse("{" + text + "}", nullptr, false);
    EXPECT_EQ(status, 0) << text;
    const size_t rounds = root["statsV1"]["date"].size();
    EXPECT_EQ(root["statsV2"]["date"].size(), rounds) << "answer " << i;
    EXPECT_EQ(root["capture"]["status"], 1) << "answer " << i;
    EXPECT_GE(rounds, lastRounds);
    lastRounds = rounds;
  }
  const pid_t child = OnlyChild();
  if (child > 0) kill(child, SIGTERM);
  running.join();
  EXPECT_EQ(daemon.exitStatus, 0) << daemon.err;
  EXPECT_GT(lastRounds, 2u) << "the daemon wrote no rounds meanwhile";
}

TEST_F(StatusDaemonTest, LongestIntervalWaitsAndStillStops) {
  // 2^32 - 1 seconds: more than a 32-bit time_t holds.
  ProgramResult daemon;
  std::atomic<bool> exited{false};
  std::thread running([&] {
    daemon = RunDaemon({"--interval", "4294967295", "--db", kDb});
    exited = true;
  });
  WaitForRows("stats_v2", 2);  // the first round
  const pid_t child = OnlyChild();
  EXPECT_GT(child, 0);
  if (child > 0) kill(child, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!exited && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // Not yet reaped, so the pid is still the daemon's: a daemon deaf to the
  // signal fails the test instead of hanging it.
  if (!exited && child > 0) kill(child, SIGKILL);
  running.join();
  EXPECT_EQ(daemon.exitStatus, 0) << daemon.err;
  EXPECT_EQ(RowCount("stats_v2"), 2) << "more than one round: the interval was not waited";
}

TEST_F(StatusDaemonTest, RefusesBadCommandLines) {
  struct Case {
    std::vector<std::string> args;
    int exitStatus;
    const char* errorStart;
  };
  const Case cases[] = {
      {{"--bogus"}, 2, "velorantis-statusd-sim: unknown option: --bogus\nusage: "},
      {{"--db"}, 2, "velorantis-statusd-sim: missing value for: --db\nusage: "},
      {{"--interval", "x"}, 2, "velorantis-statusd-sim: not a number of seconds: x\n"},
      {{"--interval", "-1"}, 2, "velorantis-statusd-sim: not a number of seconds: -1\n"},
      {{"--interval", "1s"}, 2, "velorantis-statusd-sim: not a number of seconds: 1s\n"},
      {{"--once", "--db", "/nonexistent-dir/velorantis.db"},
       1,
       "velorantis-statusd-sim: /nonexistent-dir/velorantis.db: "},
  };
  for (const Case& c : cases) {
    const ProgramResult result = RunDaemon(c.args);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.args[0];
    EXPECT_EQ(result.err.compare(0, strlen(c.errorStart), c.errorStart), 0) << result.err;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists(kDb));
}

}  // namespace
