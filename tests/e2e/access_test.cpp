// Who may do what with a roles file, and the audit trail of what was done,
// through the program as the web server runs it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "helper/command_table.h"
#include "support/run_program.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace {

const std::string kA = "00:11:22:33:44:55";
constexpr char kRoles[] =
    "# the appliance's users\n"
    "vera viewer\n"
    "opal operator  # on call\n"
    "ada admin\n"
    "* viewer\n";
const std::string kRefused =
    "Status: 403 Forbidden\n" + CgiResponse("\"result\": -1,\n\"message\": \"Permission denied\"");

// A request by `user` (no login: nullopt), from 192.0.2.7.
ProgramResult As(const std::optional<std::string>& user, const std::string& query,
                 std::vector<EnvChange> env = {}) {
  env.emplace_back("REMOTE_USER", user);
  env.emplace_back("REMOTE_ADDR", "192.0.2.7");
  return RunHelper(query, env);
}

nlohmann::json Root(const ProgramResult& result) {
  return nlohmann::json::parse(result.out.substr(result.out.find('{')))["root"];
}

class AccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_.WriteDevices(kA + " 3\n");
    RecreateDatabase(kTestConfigDb, "config.sql");
    WriteFile(kTestRolesFile, kRoles);
  }
  void TearDown() override { std::filesystem::remove(kTestRolesFile); }

  // Starts a capture of 10 packets as `user` and waits until it has ended.
  void ShortCapture(const std::string& user) {
    ASSERT_EQ(Root(As(user, "command=start&mac=" + kA + "&output=" + out_.path() +
                                "&loop=0&count=10&size=0&duration=0"))["result"],
              0);
    while (Root(As("ada", "command=captures"))["captures"][0]["state"] == "running") {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  SimDir sim_;
  TempDir out_;
};

// Every command for every kind of caller: refused below the command's least
// role with 403 and nothing else, never refused at or above it.
TEST_F(AccessTest, EveryCommandForEveryRole) {
  using enum Role;
  // What each command is asked besides its name.
  const std::map<std::string, std::string> keys = {
      {"start", "&mac=" + kA + "&output=" + out_.path() + "&count=10"},
      {"stop", "&mac=" + kA},
      {"status", "&mac=" + kA},
      {"getconfig", "&mac=default"},
      {"setconfig", "&mac=default&output=" + out_.path() +
                        "&loop=0&count=0&size=1&duration=0&slicing=0&inline=0"},
      {"download", "&id=1"},
      {"setretention", "&maxbytes=0&minfree=0"},
      {"delete", "&id=99"},
      {"pin", "&id=99&pinned=1"},
  };
  // mallory is named nowhere (the "*" line); no "-" line gives a request
  // without a login anything.
  const std::pair<std::optional<std::string>, Role> callers[] = {
      {"vera", kViewer}, {"opal", kOperator}, {"ada", kAdmin}, {"mallory", kViewer}, {{}, kNone}};
  std::set<Role> refused;  // the callers' roles that met a refusal
  for (const Command& command : AllCommands()) {
    const std::string name = command.name;
    EXPECT_TRUE(!command.changesState || LeastRole(name) > kViewer)
        << name << ": a viewer changes nothing";
    for (const auto& caller : callers) {
      sim_.ClearCalls();
      const ProgramResult result =
          As(caller.first, "command=" + name + (keys.contains(name) ? keys.at(name) : ""));
      const std::string who = name + " by " + caller.first.value_or("(no login)");
      if (caller.second < LeastRole(name)) {
        refused.insert(caller.second);
        EXPECT_EQ(result.out, kRefused) << who;
        EXPECT_NE(result.err.find("message=\"Permission denied\""), std::string::npos) << who;
        EXPECT_EQ(sim_.Calls(), std::vector<std::string>()) << who;
      } else {
        EXPECT_FALSE(result.out.starts_with("Status: 403")) << who << "\n" << result.out;
      }
    }
  }
  EXPECT_EQ(refused, std::set<Role>({kNone, kViewer, kOperator}));
}

// The trail holds the changes, the downloads with their bytes and the
// refusals, newest first, by user and page by page; it keeps the newest
// 10,000 entries.
TEST_F(AccessTest, AuditTrail) {
  ShortCapture("opal");
  EXPECT_EQ(As("vera", "command=start&mac=" + kA).out, kRefused);
  EXPECT_EQ(As("mallory", "command=setconfig&mac=default").out, kRefused);
  const ProgramResult download = As("ada", "command=download&id=1");
  const int64_t bytes = std::filesystem::file_size(out_.File("Velorantis.pcapng"));
  As("vera", "command=download&id=1", {{"HTTP_RANGE", "bytes=10-19"}});
  EXPECT_EQ(Root(As("opal", "command=stop&mac=" + kA,
                    {{"HTTP_SEC_FETCH_SITE", "cross-site"}}))["message"],
            "Cross-origin request refused");
  As("vera", "command=captures");  // reads are not recorded

  const nlohmann::json trail = Root(As("ada", "command=audit"))["audit"];
  ASSERT_EQ(trail.size(), 6u) << trail;
  // Newest first: user, command, message.
  const char* const expected[][3] = {{"opal", "stop", "Cross-origin request refused"},
                                     {"vera", "download", ""},
                                     {"ada", "download", ""},
                                     {"mallory", "setconfig", "Permission denied"},
                                     {"vera", "start", "Permission denied"},
                                     {"opal", "start", ""}};
  for (size_t i = 0; i < trail.size(); ++i) {
    EXPECT_EQ(trail[i]["user"], expected[i][0]) << i;
    EXPECT_EQ(trail[i]["command"], expected[i][1]) << i;
    EXPECT_EQ(trail[i]["message"], expected[i][2]) << i;
    EXPECT_EQ(trail[i]["address"], "192.0.2.7") << i;
    EXPECT_EQ(trail[i]["result"], *expected[i][2] == '\0' ? 0 : -1) << i;
  }
  EXPECT_EQ(trail[1]["request"]["range"], "bytes=10-19");
  EXPECT_EQ(trail[1]["bytes"], 10);
  EXPECT_EQ(trail[2]["request"]["id"], "1");
  EXPECT_EQ(trail[2]["request"]["range"], "");
  EXPECT_EQ(trail[2]["bytes"], bytes);
  EXPECT_EQ(trail[5]["request"]["mac"], kA);
  EXPECT_EQ(trail[5]["bytes"], -1);
  EXPECT_EQ(Root(As("ada", "command=audit&user=opal"))["audit"].size(), 2u);
  const nlohmann::json page =
      Root(As("ada", "command=audit&limit=2&before=" + std::to_string(int{trail[2]["id"]})));
  EXPECT_EQ(page["audit"], nlohmann::json({trail[3], trail[4]}));

  ExecSql(
      kTestRecordsDb,
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) "
      "INSERT INTO audit (time, user, address, command, mac, capture, fromtime, totime, "
      "result, message, bytes) SELECT 0, 'old', '-', 'prune', '', '', '', '', 0, '', -1 FROM n");
  EXPECT_EQ(As("vera", "command=prune").out, kRefused);
  EXPECT_EQ(QueryText(kTestRecordsDb, "SELECT count(*) FROM audit"), "10000");
  EXPECT_EQ(QueryText(kTestRecordsDb, "SELECT count(*) FROM audit WHERE user = 'opal'"), "0");
}

}  // namespace
