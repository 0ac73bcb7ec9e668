// The request program as the web server runs it: whole standard output and
// exit status for requests the front end answers itself, and for hostile ones.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "support/run_program.h"
#include "support/sim_dir.h"

namespace {

const char kHeader[] = "Content-type: application/json\n\n";

// The JSON document after the header; fails the test when it does not parse.
nlohmann::json Body(const ProgramResult& result) {
  EXPECT_EQ(result.out.compare(0, sizeof kHeader - 1, kHeader), 0) << result.out;
  std::string body = result.out.substr(std::min(result.out.size(), sizeof kHeader - 1));
  nlohmann::json document = nlohmann::json::parse(body, nullptr, false);
  EXPECT_FALSE(document.is_discarded()) << "not JSON: " << body;
  return document;
}

class FrontendTest : public ::testing::Test {
 protected:
  SimDir sim_;
};

TEST_F(FrontendTest, NoQueryStringAtAll) {
  ProgramResult result = RunHelper(std::nullopt);
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out,
            "Content-type: application/json\n"
            "\n"
            "{\"root\": {\n"
            "\"result\": -1,\n"
            "\"message\": \"No command specified\"}}\n");
}

TEST_F(FrontendTest, FrontEndAnswersByteForByte) {
  struct Case {
    const char* query;
    const char* message;
  };
  const Case cases[] = {
      {"", "No command specified"},         {"a=1&b=2", "No command specified"},
      {"command", "Unknown command"},       {"command=", "Unknown command"},
      {"command=LIST", "Unknown command"},  {"command=%20list", "Unknown command"},
      {"command=list+", "Unknown command"}, {"command=list&command=bogus", "Unknown command"},
  };
  for (const auto& c : cases) {
    ProgramResult result = RunHelper(c.query);
    EXPECT_EQ(result.exitStatus, 0) << c.query;
    EXPECT_EQ(result.out,
              CgiResponse(std::string("\"result\": -1,\n\"message\": \"") + c.message + "\""))
        << c.query;
    EXPECT_TRUE(sim_.Calls().empty()) << "the device library was reached for " << c.query;
  }
}

TEST_F(FrontendTest, CommandIsDecodedBeforeItIsCompared) {
  sim_.WriteDevices("00:11:22:33:44:55 3\n");
  // st%61rt is start; without "mac" it names no device.
  ProgramResult result = RunHelper("command=st%61rt");
  EXPECT_EQ(result.out, CgiResponse("\"result\": -1,\n\"message\": \"Invalid MAC address\""));
  // The value copy ends at a decoded zero byte, so this is list.
  result = RunHelper("command=list%00junk");
  EXPECT_EQ(Body(result)["root"]["devices"].size(), 1u);
}

TEST_F(FrontendTest, StopOnIdleDeviceIsTheSmallestSuccess) {
  sim_.WriteDevices("00:11:22:33:44:55 3\n");
  ProgramResult result = RunHelper("command=stop&mac=00:11:22:33:44:55");
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out,
            "Content-type: application/json\n"
            "\n"
            "{\"root\": {\n"
            "\"result\": 0,\n"
            "\"message\": \"\"}}\n");
}

// Whatever the query string holds, the answer is the whole envelope with a
// valid JSON document and exit status 0.
// Shorter hostile query strings are seeds of the request fuzz target
// (fuzz/request_seeds); these need the real program and its environment.
TEST_F(FrontendTest, HostileQueryStrings) {
  const std::string cases[] = {
      std::string(100000, '&'),
      // Near the largest environment string the kernel passes on (128 KiB).
      "command=" + std::string(130000, 'x'),
      std::string(60000, '%') + "=1",
      "command=stop&mac=" + std::string(5000, '%') + "%22",
  };
  for (const std::string& query : cases) {
    ProgramResult result = RunHelper(query);
    EXPECT_EQ(result.exitStatus, 0) << query.substr(0, 40);
    nlohmann::json body = Body(result);
    ASSERT_TRUE(body.contains("root")) << query.substr(0, 40);
    EXPECT_TRUE(body["root"]["result"].is_number_integer()) << query.substr(0, 40);
    EXPECT_TRUE(body["root"]["message"].is_string()) << query.substr(0, 40);
    EXPECT_EQ(result.out.substr(result.out.size() - 3), "}}\n");
  }
}

}  // namespace
