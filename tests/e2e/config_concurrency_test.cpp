// Many setconfig and getconfig requests at once, each in its own process as
// the web server runs them: they meet only in SQLite's file locking.
#include <gtest/gtest.h>

#include <charconv>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/run_program.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"
#include "support/test_rounds.h"

namespace {

constexpr int kProcesses = 8;
// Rounds of each process: one setconfig then one getconfig. Fewer in slow
// builds (VELORANTIS_TEST_ROUNDS).
constexpr int kFullRounds = 75;
constexpr int kSeed = 999999;  // stored before the processes start

const char kHeader[] = "Content-type: application/json\n\n";

// The configuration that request `id` stores: every field derived from the id,
// so a mix of two configurations cannot pass for one.
struct Configuration {
  std::string destination;
  int loop;
  int count;
  int size;
  int duration;
  int inlineMode;
  int slicing;
};

Configuration ConfigurationOf(int id) {
  return {"/cap/" + std::to_string(id),
          id % 2,
          100000 + id,
          id + 1,
          200000 + id,
          (id / 2) % 2,
          id % 65535 + 1};
}

std::string SetconfigQuery(int id) {
  const Configuration c = ConfigurationOf(id);
  return "command=setconfig&mac=default&output=" + c.destination +
         "&loop=" + std::to_string(c.loop) + "&count=" + std::to_string(c.count) +
         "&size=" + std::to_string(c.size) + "&duration=" + std::to_string(c.duration) +
         "&slicing=" + std::to_string(c.slicing) + "&inline=" + std::to_string(c.inlineMode);
}

nlohmann::json ConfigNodeOf(int id) {
  const Configuration c = ConfigurationOf(id);
  return {{"destination", c.destination},
          {"loop", c.loop},
          {"count", c.count},
          {"size", c.size},
          {"duration", c.duration},
          {"inline", c.inlineMode},
          {"slicing", c.slicing}};
}

struct Answer {
  bool set;  // setconfig, else getconfig
  int id;    // the setconfig's configuration
  ProgramResult result;
};

std::vector<Answer> RunRequests(int process, int rounds) {
  std::vector<Answer> answers;
  for (int i = 0; i < 2 * rounds; ++i) {
    const int id = process * 1000 + i;
    const bool set = i % 2 == 0;
    const std::string query = set ? SetconfigQuery(id) : "command=getconfig&mac=default";
    answers.push_back({set, id, RunHelper(query)});
  }
  return answers;
}

// The "root" object of a response; null when the output is not a header
// followed by a JSON document.
nlohmann::json Root(const std::string& out) {
  if (out.compare(0, sizeof kHeader - 1, kHeader) != 0) return nullptr;
  nlohmann::json document = nlohmann::json::parse(out.substr(sizeof kHeader - 1), nullptr, false);
  if (document.is_discarded() || !document.contains("root")) return nullptr;
  return document["root"];
}

// The id whose configuration `config` shows in full, or -1.
int IdShown(const nlohmann::json& config) {
  if (!config.is_object() || !config.contains("destination")) return -1;
  const std::string destination = config["destination"].get<std::string>();
  int id = -1;
  const char* digits = destination.c_str() + 5;
  if (!destination.starts_with("/cap/") ||
      std::from_chars(digits, destination.c_str() + destination.size(), id).ptr !=
          destination.c_str() + destination.size()) {
    return -1;
  }
  return config == ConfigNodeOf(id) ? id : -1;
}

class ConfigConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A device, so that setconfig does not wait for one.
    sim_.WriteDevices("00:11:22:33:44:55 3\n");
    RecreateDatabase(kTestConfigDb, "config.sql");
  }

  SimDir sim_;
};

TEST_F(ConfigConcurrencyTest, EveryAnswerIsOneWholeConfiguration) {
  ASSERT_EQ(RunHelper(SetconfigQuery(kSeed)).out, CgiResponse("\"result\": 0,\n\"message\": \"\""));

  const int rounds = TestRounds(kFullRounds);
  std::vector<std::vector<Answer>> answers(kProcesses);
  std::vector<std::thread> threads;
  for (int p = 0; p < kProcesses; ++p) {
    threads.emplace_back([&answers, p, rounds] { answers[p] = RunRequests(p, rounds); });
  }
  for (std::thread& thread : threads) thread.join();

  std::set<int> stored = {kSeed};
  std::set<int> lastStored;  // each process's last successful setconfig
  for (const std::vector<Answer>& process : answers) {
    int last = -1;
    for (const Answer& answer : process) {
      EXPECT_EQ(answer.result.exitStatus, 0) << answer.result.err;
      const nlohmann::json root = Root(answer.result.out);
      ASSERT_FALSE(root.is_null()) << "not a JSON response: " << answer.result.out;
      if (!answer.set) continue;
      // Saves wait for each other at the device lock. On a loaded machine
      // the queue can pass the five seconds a save waits there; such a save
      // says so and changes nothing. No other failure.
      if (root["result"] != 0) {
        EXPECT_EQ(root["message"], "Device is busy with another request") << answer.result.out;
        continue;
      }
      stored.insert(answer.id);
      last = answer.id;
    }
    if (last >= 0) lastStored.insert(last);
  }

  int shown = 0;
  for (const std::vector<Answer>& process : answers) {
    for (const Answer& answer : process) {
      if (answer.set) continue;
      // The write-ahead log: a read never meets a save's lock.
      const nlohmann::json root = Root(answer.result.out);
      EXPECT_EQ(root["result"], 0) << answer.result.out;
      ++shown;
      const int id = IdShown(root["config"]);
      EXPECT_TRUE(stored.contains(id))
          << "not a configuration any setconfig stored: " << answer.result.out;
    }
  }

  EXPECT_GT(stored.size(), 1u) << "no setconfig succeeded";
  EXPECT_GT(shown, 0) << "no getconfig succeeded";
  const std::string out = RunHelper("command=getconfig&mac=default").out;
  const int finalId = IdShown(Root(out)["config"]);
  EXPECT_TRUE(lastStored.contains(finalId))
      << "the row holds " << out << ", which no process stored last";
  EXPECT_EQ(QueryText(kTestConfigDb, "SELECT destination FROM config WHERE mac = 'default'"),
            "/cap/" + std::to_string(finalId));
  // The device's features come from the same request as the row.
  const Configuration last = ConfigurationOf(finalId);
  std::istringstream features(ReadFile(sim_.path() + "/001122334455.features"));
  const std::set<std::string> fields{std::istream_iterator<std::string>(features), {}};
  EXPECT_TRUE(fields.contains("w20=" + std::to_string(last.inlineMode)) &&
              fields.contains("h64=" + std::to_string(last.slicing)))
      << features.str() << " is not the features of " << out;
}

}  // namespace
