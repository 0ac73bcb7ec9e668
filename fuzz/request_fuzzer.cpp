// Fuzz target: one whole request served in-process, the input its query
// string, against the configuration and status databases at the paths built
// in (created afresh at start-up) and two simulated devices. Every answer
// must be the complete envelope around valid JSON with a result node; a
// failed check aborts.
//
// No request may create files outside the simulator's directory: both
// devices refuse to start a capture (fail=start), and the second one is
// always capturing already.
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "helper/command_table.h"
#include "helper/frontend/memory_budget.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/response.h"
#include "shared/paths.h"

namespace {

constexpr char kHeader[] = "Content-type: application/json\n\n";

constexpr char kDevices[] =
    "00:11:22:33:44:55 3 fail=start\n"
    "aa:bb:cc:dd:ee:0f 13 fail=start\n";
constexpr char kRunningMarker[] = "aabbccddee0f.capture";

// Both simulated devices (the second without a capture row), a device with
// odd text and one with a negative id; samples with extreme values.
constexpr char kStatusRows[] =
    "INSERT INTO device VALUES (1, '00:11:22:33:44:55', 'Velorantis-A1'),"
    " (2, 'aa:bb:cc:dd:ee:0f', NULL), (3, 'a\"b\\c', CAST(X'E9FF0A00' AS TEXT)),"
    " (-4, 'negative', 'M');"
    "INSERT INTO capture VALUES (1, 1, 0, 5, 10, 20, 0),"
    " (3, -3, -1, -1, 9223372036854775807, -9223372036854775808, NULL), (-4, 0, 0, 0, 0, 0, 0);"
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 6)"
    " INSERT INTO stats_v1 (device, date, totalpackets, p2_jabber)"
    " SELECT 1 + i % 3, i * 1000 - 3000, -i, 9223372036854775807 FROM n;"
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 6)"
    " INSERT INTO stats_v2 (device, date, counter2, counter8)"
    " SELECT 1 + i % 3, i * 1000 - 3000, i, 10 * i FROM n;";

constexpr char kDefaultConfig[] =
    "UPDATE config SET destination = '', loop = 0, count = 0, size = 0, duration = 0,"
    " inline = 1, slicing = 0";

void Check(bool holds) {
  if (!holds) abort();
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const char* text) { std::ofstream(path) << text; }

// Runs `sql` on the database at `path`, creating the file; nothing is
// synced, the data need not outlive the run.
void Exec(const char* path, const std::string& sql) {
  sqlite3* db = nullptr;
  Check(sqlite3_open(path, &db) == SQLITE_OK);
  const std::string all = "PRAGMA synchronous = OFF;" + sql;
  Check(sqlite3_exec(db, all.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK);
  sqlite3_close(db);
}

void CreateDatabase(const char* path, const char* schema, const char* rows) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    std::filesystem::remove(std::string(path) + suffix);
  }
  Exec(path, ReadText(std::string(VELORANTIS_SOURCE_DIR) + "/schema/" + schema) + rows);
}

std::string SimDir() { return getenv("VELORANTIS_SIM_DIR"); }

void RemoveSimDir() { std::filesystem::remove_all(SimDir()); }

// metrics answers in Prometheus' text format: comment and sample lines of
// the program's families under its content type, or 503 with the reason.
void CheckMetricsAnswer(const std::string& out) {
  if (out.starts_with(
          "Status: 503 Service Unavailable\nContent-type: text/plain; charset=utf-8\n\n")) {
    return;
  }
  constexpr char kExposition[] = "Content-type: text/plain; version=0.0.4; charset=utf-8\n\n";
  Check(out.starts_with(kExposition) && out.ends_with("\n"));
  size_t line = sizeof kExposition - 1;
  while (line < out.size()) {
    const std::string_view text(out.data() + line, out.find('\n', line) - line);
    Check(text.starts_with("# HELP velorantis_") || text.starts_with("# TYPE velorantis_") ||
          text.starts_with("velorantis_"));
    line += text.size() + 1;
  }
}

// The program keeps its value copies until it exits; a long fuzzing run
// frees them.
int FinishInput() {
  for (auto& entry : query_map) free(entry.second);
  query_map.clear();
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string dir = std::filesystem::temp_directory_path() / "velorantis-fuzz-sim-XXXXXX";
  Check(mkdtemp(dir.data()) != nullptr);
  setenv("VELORANTIS_SIM_DIR", dir.c_str(), 1);
  atexit(RemoveSimDir);
  WriteText(SimDir() + "/devices", kDevices);
  CreateDatabase(kConfigDatabasePath, "config.sql", "");
  CreateDatabase(kStatusDatabasePath, "status.sql", kStatusRows);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Every request meets the same devices: a stop may have ended the capture.
  WriteText(SimDir() + "/" + kRunningMarker, "capturing\n");
  // Keeps the log from growing over a long run; a missing log is fine.
  if (truncate((SimDir() + "/calls.log").c_str(), 0) != 0 && errno != ENOENT) abort();

  const std::string query(reinterpret_cast<const char*>(data),
                          strnlen(reinterpret_cast<const char*>(data), size));
  setenv("QUERY_STRING", query.c_str(), 1);
  query_map.clear();
  InitGetVar();
  // What earlier inputs charged must not starve this one.
  SetAnswerBudget(kMaxAnswerBudget);
  ResponseBody body;
  DispatchCommand(ReadRequest(), body);
  char* text = nullptr;
  size_t length = 0;
  FILE* stream = open_memstream(&text, &length);
  Check(stream != nullptr);
  WriteResponse(stream, body);
  fclose(stream);
  const std::string out(text, length);
  free(text);

  const char* command = getvar("command");
  if (command != nullptr && strcmp(command, "metrics") == 0) {
    CheckMetricsAnswer(out);
    return FinishInput();
  }
  // Only a download's refusals put header lines, a Status line first, before
  // the content type; the ledger is empty, so no download succeeds.
  const size_t header = out.find(kHeader);
  Check(header != std::string::npos && (header == 0 || out.starts_with("Status: ")));
  const std::string document = out.substr(header + sizeof kHeader - 1);
  Check(document.starts_with("{\"root\": {\n") && document.ends_with("}}\n"));
  const nlohmann::json answer = nlohmann::json::parse(document, nullptr, false);
  Check(!answer.is_discarded() && answer.size() == 1 && answer.contains("root"));
  const nlohmann::json& root = answer.at("root");
  Check(root.contains("result") && root.at("result").is_number_integer());
  Check(root.contains("message") && root.at("message").is_string());

  // Later requests see the stored configuration as it was.
  if (command != nullptr && strcmp(command, "setconfig") == 0) {
    Exec(kConfigDatabasePath, kDefaultConfig);
  }
  return FinishInput();
}
