// The error-log line of a failed request, one row per cause class; nothing
// for a success.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <functional>

#include "helper/capture/capture_commands.h"
#include "helper/command_table.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/request_vars.h"
#include "helper/metrics/metrics_command.h"
#include "helper/status/status_command.h"
#include "support/command_answer.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"

namespace {

std::string LogLine(const std::string& query, const std::function<void(const Request&)>& run) {
  ForgetFailure();
  program_paths = {};
  Request request = RequestOfQuery(query);
  request.caller.user = "ann";
  request.caller.address = "192.0.2.7";
  run(request);
  char* text = nullptr;
  size_t size = 0;
  FILE* stream = open_memstream(&text, &size);
  WriteFailureLine(stream, request);
  fclose(stream);
  std::string line(text, size);
  free(text);
  return line;
}

TEST(FailureLogTest, OneLineWithTheCausePerClass) {
  SimDir sim;
  sim.WriteDevices("00:11:22:33:44:55 3 fail=start\n");
  TempDir dir;
  const std::string db = dir.File("velorantis.db"), missing = dir.File("no/folder");
  CreateFromSchema(db, "status.sql");
  ExecSql(db, "INSERT INTO device VALUES (1, 'aa', 'm'); DROP TABLE stats_v2;");
  // Start reads the stored features before it reaches the device.
  const std::string config = dir.File("config.db");
  CreateFromSchema(config, "config.sql");
  const std::string start = "command=start&mac=00:11:22:33:44:55&output=" + dir.path() +
                            "&loop=1&count=0&size=1&duration=0";
  const std::string noDb = missing + "/s.db", noLock = missing + "/lock", lock = dir.File("lock");
  ResponseBody body;
  auto status = [&](const Request& request) {
    program_paths.statusDb = noDb.c_str(), AnswerOf("status", request, body);
  };
  auto metrics = [&](const Request& request) {
    program_paths.statusDb = db.c_str(), AnswerOf("metrics", request, body);
  };
  const struct {
    std::string query;
    std::function<void(const Request&)> run;
    std::string piece;  // of the line
  } cases[] = {
      {"command=status&mac=x%0a\"", status,
       " velorantis: command=\"status\" mac=\"x\\x0a\\\"\" result=-1 message=\"Cannot open "
       "database\" cause=\"sqlite \\\"unable to open database file\\\" code 14 (extended 14, "
       "errno 2 No such file or directory) at " +
           missing + "/s.db\""},
      {"command=metrics",
       metrics,
       {"message=\"Failed to get device v2 statistics\" cause=\"sqlite \\\"no such table: "
        "stats_v2\\\" code 1 (extended 1) at " +
        db + "\""}},
      {start,
       [&](const Request& request) {
         program_paths.lockFile = noLock.c_str(), AnswerOf("start", request, body);
       },
       {"message=\"Cannot open the device lock file\" cause=\"open " + missing +
        "/lock: No such file or directory (errno 2)\""}},
      {start,
       [&](const Request& request) {
         program_paths.lockFile = lock.c_str(), program_paths.configDb = config.c_str();
         AnswerOf("start", request, body);
       },
       {"message=\"Failed to start capture\" cause=\"VelorantisAPIDiskDumpStart returned 1\""}},
      {"command=Status",
       [&](const Request& request) { DispatchCommand(request, body); },
       {"result=-1 message=\"Unknown command\" remote_user=\"ann\" remote_addr=\"192.0.2.7\"\n"}},
      // Over-long values are cut, whole escapes kept, and the others stay.
      {"command=status&mac=" + std::string(30000, '\1'), status,
       "\\x01...[cut]\" result=-1 message=\"Cannot open database\" cause=\"sqlite"},
      {"command=status&mac=" + std::string(5000, 'm'),
       [&](const Request& request) {
         RecordFailureCause(std::string(3000000, 'c')), status(request);
       },
       "c...[cut]\" remote_user=\"ann\""},
  };
  for (const auto& c : cases) {
    const std::string line = LogLine(c.query, c.run);
    EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
    EXPECT_LE(line.size(), 4096u);
    EXPECT_TRUE(line.ends_with(" remote_addr=\"192.0.2.7\"\n")) << line;
    EXPECT_NE(line.find(c.piece), std::string::npos) << c.piece << "\nnot in: " << line;
  }
  CreateFromSchema(db, "status.sql");  // the missing table again
  EXPECT_EQ(LogLine("command=metrics", metrics), "");
  program_paths = {};
}

}  // namespace
