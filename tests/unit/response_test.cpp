#include "helper/frontend/response.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <cstdlib>
#include <string>

#include "helper/command_table.h"
#include "helper/frontend/request_vars.h"
#include "support/command_answer.h"

namespace {

TEST(PrintResultNode, Layout) {
  struct Case {
    int result;
    std::string message;
    std::string expected;
  };
  const Case cases[] = {
      {0, "", "\"result\": 0,\n\"message\": \"\""},
      {-1, "Invalid MAC address", "\"result\": -1,\n\"message\": \"Invalid MAC address\""},
      {-2, "Failed to stop capture", "\"result\": -2,\n\"message\": \"Failed to stop capture\""},
      {-1, "bad \"quote\"", "\"result\": -1,\n\"message\": \"bad \\\"quote\\\"\""},
  };
  for (const auto& c : cases) {
    std::string out = "before,";
    PrintResultNode(out, c.result, c.message);
    EXPECT_EQ(out, "before," + c.expected);
  }
}

TEST(WriteResponse, Envelope) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* stream = open_memstream(&buffer, &size);
  ASSERT_NE(stream, nullptr);
  ResponseBody body;
  body.text = "\"result\": 0,\n\"message\": \"\"";
  body.tail = {",\n", "\"a\": 1"};
  WriteResponse(stream, body);
  fclose(stream);
  EXPECT_EQ(std::string(buffer, size),
            "Content-type: application/json\n\n{\"root\": {\n\"result\": 0,\n\"message\": "
            "\"\",\n\"a\": 1}}\n");
  free(buffer);
}

TEST(WriteResponse, BodyOfItsOwnTypeAndStatus) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* stream = open_memstream(&buffer, &size);
  ResponseBody body;
  body.text = "Cannot open database\n";
  body.contentType = "text/plain";
  body.status = "503 Service Unavailable";
  WriteResponse(stream, body);
  fclose(stream);
  EXPECT_EQ(std::string(buffer, size),
            "Status: 503 Service Unavailable\nContent-type: text/plain\n\nCannot open database\n");
  free(buffer);
}

// The front end's own answers: no command, or one that matches no entry.
TEST(DispatchCommand, FrontEndFailures) {
  struct Case {
    const char* query;
    const char* message;
  };
  const Case cases[] = {
      {"", "No command specified"},
      {"mac=default", "No command specified"},
      {"command", "Unknown command"},
      {"command=", "Unknown command"},
      {"command=LIST", "Unknown command"},
      {"command=+list", "Unknown command"},
      {"command=list%20", "Unknown command"},
      {"command=lis", "Unknown command"},
      {"command=listx", "Unknown command"},
      {"command=list&command=nope", "Unknown command"},  // the last one decides
  };
  for (const auto& c : cases) {
    ResponseBody body;
    DispatchCommand(RequestOfQuery(c.query), body);
    EXPECT_EQ(body.text, std::string("\"result\": -1,\n\"message\": \"") + c.message + "\"")
        << "query: " << c.query;
  }
}

}  // namespace
