// The status command as the web server runs it: whole standard output and
// standard error.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "support/run_program.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/test_paths.h"

namespace {

const std::string kDb = kTestStatusDb;

class StatusRequestTest : public testing::Test {
 protected:
  void SetUp() override { RemoveDatabase(kDb); }

  SimDir sim_;
};

TEST_F(StatusRequestTest, AnswersCarryNothingButTheResponse) {
  struct Case {
    const char* query;
    bool database;
    std::string body;
  };
  const Case cases[] = {
      {"command=status", true, "\"result\": -1,\n\"message\": \"Invalid MAC address\""},
      {"command=status&mac=00:11:22:33:44:55", false,
       "\"result\": -1,\n\"message\": \"Cannot open database\""},
      {"command=status&mac=00:11:22:33:44:66", true,
       "\"result\": -1,\n\"message\": \"Failed to get device id\""},
      {"command=status&mac=00%3A11%3A22%3A33%3A44%3A55&from=5&limit=-1", true,
       "\"result\": 0,\n\"message\": \"\",\n"
       "\"info\": {\n\"mac\": \"00:11:22:33:44:55\",\"model\": \"Velorantis-A1\"},\n"
       "\"capture\": {\n\"status\": 1,\n\"error\": 0,\n\"cacheused\": 2,\n\"maxcache\": 3,\n"
       "\"written\": 4,\n\"dropped\": 5\n},\n"
       "\"statsV2\": {\n\"date\": [6,7],\n\"softwaredropped\": [1,0],\n\"bogusbytes\": [0,0],\n"
       "\"totalpackets\": [9,0],\n\"ports\": [\n"
       "{\n\"lessthan64\": [0,0],\n\"between64and1518\": [0,0],\n\"morethan1518\": [0,0],\n"
       "\"bytes\": [9,0],\n\"totalvalid\": [0,0],\n\"totalinvalid\": [0,0],\n"
       "\"hardwaredropped\": [0,0]\n}\n"
       ",{\n\"lessthan64\": [0,0],\n\"between64and1518\": [0,0],\n\"morethan1518\": [0,0],\n"
       "\"bytes\": [0,0],\n\"totalvalid\": [0,0],\n\"totalinvalid\": [0,0],\n"
       "\"hardwaredropped\": [0,0]\n}\n]\n}"},
  };
  for (const Case& c : cases) {
    RemoveDatabase(kDb);
    if (c.database) {
      CreateFromSchema(kDb, "status.sql");
      ExecSql(kDb,
              "INSERT INTO device VALUES (1, '00:11:22:33:44:55', 'Velorantis-A1');"
              "INSERT INTO capture VALUES (1, 1, 0, 2, 3, 4, 5);"
              "INSERT INTO stats_v1 (device, date) VALUES (1, 5);"
              "INSERT INTO stats_v2 (device, date, softwaredropped, totalpackets)"
              " VALUES (1, 7, 0, 0), (1, 6, 1, 9), (1, 5, 2, 2);");
    }
    const ProgramResult result = RunHelper(c.query);
    EXPECT_EQ(result.exitStatus, 0) << c.query;
    EXPECT_EQ(result.out, CgiResponse(c.body)) << c.query;
    EXPECT_EQ(result.err.empty(), c.body.starts_with("\"result\": 0")) << result.err;
    const std::string body = result.out.substr(result.out.find('{'));
    EXPECT_FALSE(nlohmann::json::parse(body, nullptr, false).is_discarded()) << body;
    // The command never creates the database.
    EXPECT_EQ(std::filesystem::exists(kDb), c.database) << c.query;
  }
}

// A window larger than the memory the program may have: answered, not a
// silent death that leaves the web server to make up an error page.
TEST_F(StatusRequestTest, WindowLargerThanMemoryIsAnswered) {
  CreateFromSchema(kDb, "status.sql");
  ExecSql(kDb,
          "INSERT INTO device VALUES (1, '00:11:22:33:44:55', 'Velorantis-A1');"
          "INSERT INTO capture VALUES (1, 1, 0, 2, 3, 4, 5);"
          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400000)"
          " INSERT INTO stats_v1 SELECT 1, 1000000000 + i, i, i, i, i, i, i, i, i, i, i, i,"
          " i, i, i, i, i, i, i, i, i, i, i, i, i, i, i, i FROM n;");
  const std::string expected = CgiResponse("\"result\": -1,\n\"message\": \"Not enough memory\"");
  // The answer would be about 80 MB: past the request's own budget, and past
  // the memory of a process limited to 64 MiB of address space.
  for (size_t addressSpace : {size_t{0}, size_t{64} << 20}) {
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer reserves more address space than any such limit.
    if (addressSpace != 0) continue;
#endif
    // A limit would bind the emulator, not the program.
    if (addressSpace != 0 && UnderEmulator()) continue;
    const ProgramResult result = RunProgram(
        {VELORANTIS_HELPER_PATH},
        {{"QUERY_STRING", "command=status&mac=00:11:22:33:44:55&limit=-1"}}, "", addressSpace);
    EXPECT_EQ(result.exitStatus, 0) << addressSpace;
    EXPECT_TRUE(result.out == expected) << addressSpace << ": " << result.out.substr(0, 400);
  }
}

// Near the memory floor, wherever allocation fails (decoding a long query
// included), a program that could be loaded answers in full and exits 0.
TEST_F(StatusRequestTest, EveryRunNearTheMemoryFloorAnswers) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
  if (UnderEmulator()) GTEST_SKIP() << "the limit would bind the emulator, not the program";
  const std::string query = "command=getconfig&mac=default&pad=" + std::string(20000, 'a');
  for (size_t kib = 3072; kib <= 6144; kib += 64) {
    const ProgramResult result =
        RunProgram({VELORANTIS_HELPER_PATH}, {{"QUERY_STRING", query}}, "", kib << 10);
    if (result.exitStatus == 127) continue;  // too little even to load the program
    EXPECT_EQ(result.exitStatus, 0) << kib << " KiB: " << result.err;
    EXPECT_TRUE(result.out.starts_with("Content-type: application/json\n\n{\"root\": {\n") &&
                result.out.ends_with("\"}}\n"))
        << kib << " KiB: " << result.out;
  }
}

}  // namespace
