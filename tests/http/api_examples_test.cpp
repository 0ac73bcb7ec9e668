// The examples of docs/api.md are what the program answers, byte for byte.
// An example is a ```sh block holding one line,
// curl -H 'X-Requested-With: curl' '<the demo's URL>?QUERY',
// and the ```json block after it holding the whole body of the answer. They
// run in the order of the document, through lighttpd, against a fixed
// set-up: the demo's two simulated devices, a configuration database fresh
// from its schema, a status database with fixed rows, and a scratch
// directory in place of the documented capture directory /data/captures.
// With VELORANTIS_UPDATE_API_EXAMPLES=1 the answers are written into the
// document instead (the api-examples build target).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "http/http_get.h"
#include "http/web_server.h"
#include "support/pcapng_file.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace {

const std::string kDocument = VELORANTIS_SOURCE_DIR "/docs/api.md";
const std::string kDemoUrl = "http://127.0.0.1:8080/cgi-bin/velorantis.cgi";
const std::string kCaptureDir = "/data/captures";

constexpr char kStatusRows[] =
    "INSERT INTO device VALUES (1, '00:11:22:33:44:55', 'Velorantis-B20');"
    "INSERT INTO capture VALUES (1, 1, 0, 50331648, 268435456, 6291456, 0);"
    "INSERT INTO stats_v1 VALUES"
    " (1, 1700000000, 0, 1, 0, 12, 2400, 10, 1180, 20, 0, 0, 0, 770000, 0, 1000, 0, 0,"
    "  5, 700, 10, 0, 1, 0, 450000, 0, 900, 1, 1),"
    " (1, 1700000001, 1, 1, 0, 40, 4800, 20, 2350, 41, 0, 0, 0, 1540000, 0, 2000, 0, 1,"
    "  9, 1420, 22, 0, 1, 0, 900000, 0, 1800, 1, 2);"
    "INSERT INTO stats_v2 VALUES"
    " (1, 1700000000, 0, 50, 1900, 460000, 1400, 900, 0, 1, 2, 0, 1150, 560, 0, 0,"
    "  0, 0, 0, 0, 0),"
    " (1, 1700000001, 1, 100, 4000, 930000, 2800, 1900, 2, 2, 3, 1, 2070, 1120, 1, 0,"
    "  0, 0, 0, 0, 0);";

// Two finished captures of the second device; the first one's file is in
// the scratch directory, the second one's is gone.
std::string LedgerRows(const std::string& dir) {
  return "INSERT INTO captures VALUES (1, '00:11:22:33:44:56', '" + dir +
         "/Velorantis-20261208T081455Z.pcapng', 1, 0, 104857600, 3600, 1, 0, 'stopped', "
         "1796717695, 'alice', '192.0.2.10', 1796718295, 'bob', '192.0.2.11', 0, 0, 0, 24576, -1, "
         "0, 0, '', 0, -1, -1),"
         " (2, '00:11:22:33:44:56', '" +
         dir +
         "/Velorantis-20261208T083000Z.pcapng', 0, 0, 0, 0, 1, 96, 'ended', 1796718600, "
         "'alice', '192.0.2.10', 1796718657, '', '', 28, 0, 0, -1, -1, 0, 0, '', 0, -1, -1);";
}

// The first capture's file, 24,576 bytes as its ledger row says: big-endian
// as the appliance writes, a packet a second from its start for a minute.
std::string FirstCapture() {
  PcapngFile file;
  file.Section(true);
  file.Interface();
  file.Other(4, 18996);  // name resolution, making up the size
  for (uint64_t i = 0; i < 60; ++i) file.Packet(0, (1796717695 + i) * 1000000);
  return file.bytes();
}

struct Example {
  std::string query;
  size_t firstLine;  // of the json block's content
  size_t endLine;    // the closing fence
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The query of a curl line of the demo's URL; false for any other line.
bool QueryOf(const std::string& line, std::string& query) {
  const std::string start = "curl -H 'X-Requested-With: curl' '" + kDemoUrl;
  if (line.rfind(start, 0) != 0 || line.back() != '\'') return false;
  query = line.substr(start.size(), line.size() - start.size() - 1);
  if (!query.empty() && query[0] == '?') query.erase(0, 1);
  return true;
}

std::vector<Example> FindExamples(const std::vector<std::string>& lines) {
  std::vector<Example> examples;
  for (size_t i = 0; i + 4 < lines.size(); ++i) {
    Example example;
    if (lines[i] != "```sh" || !QueryOf(lines[i + 1], example.query) || lines[i + 2] != "```") {
      continue;
    }
    size_t json = i + 3;
    while (json < lines.size() && lines[json].empty()) ++json;
    EXPECT_TRUE(json < lines.size() && lines[json] == "```json")
        << "no json block after the example on line " << i + 2;
    example.firstLine = json + 1;
    example.endLine = example.firstLine;
    while (example.endLine < lines.size() && lines[example.endLine] != "```") ++example.endLine;
    examples.push_back(example);
    i = example.endLine;
  }
  return examples;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// The folders' free space and the audit's times change from run to run:
// those figures are left out of the comparison, the rest of each line stays.
std::string WithoutFreeSpace(std::string text) {
  for (const std::string key : {"\"bytes\": ", "\"total\": ", "\"percent\": ", "\"time\": "}) {
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
      const size_t digits = at + key.size();
      size_t end = digits;
      while (end < text.size() && isdigit(static_cast<unsigned char>(text[end]))) ++end;
      if (end > digits) text.replace(digits, end - digits, "N");
    }
  }
  return text;
}

class ApiExamples : public testing::Test {
 protected:
  ApiExamples() {
    sim_.WriteDevices("00:11:22:33:44:55 11\n00:11:22:33:44:56 13\n");
    RecreateDatabase(kTestConfigDb, "config.sql");
    RecreateDatabase(kTestStatusDb, "status.sql");
    ExecSql(kTestStatusDb, kStatusRows);
    RecreateDatabase(kTestRecordsDb, "records.sql");
    ExecSql(kTestRecordsDb, LedgerRows(captures_.path()));
    WriteFile(captures_.File("Velorantis-20261208T081455Z.pcapng"), FirstCapture());
    RecordFileIdentities(kTestRecordsDb);
  }

  // The body of the answer, the scratch directory shown as /data/captures.
  std::string Answer(std::string query) {
    ReplaceAll(query, kCaptureDir, captures_.path());
    const HttpResponse response = HttpGet(server_.Url(query));
    // A download's and an extraction's failures come with their HTTP status.
    if (query.find("command=download") == std::string::npos &&
        query.find("command=extract") == std::string::npos) {
      EXPECT_EQ(response.status, 200) << query;
    }
    std::string body = response.body;
    ReplaceAll(body, captures_.path(), kCaptureDir);
    return body;
  }

  SimDir sim_;  // before the server, which passes its directory on
  TempDir captures_;
  WebServer server_;
};

TEST_F(ApiExamples, MatchWhatTheProgramAnswers) {
  std::vector<std::string> lines = Lines(ReadFile(kDocument));
  const std::vector<Example> examples = FindExamples(lines);
  ASSERT_FALSE(examples.empty()) << "no examples in " << kDocument;
  const char* update = getenv("VELORANTIS_UPDATE_API_EXAMPLES");
  const bool updating = update != nullptr && std::string(update) == "1";
  std::vector<std::string> answers;
  for (const Example& example : examples) answers.push_back(Answer(example.query));
  // From the last to the first, so that replacing a block keeps the line
  // numbers of those before it.
  for (size_t k = examples.size(); k-- > 0;) {
    const Example& example = examples[k];
    // A build without libpcap refuses every filter.
    if (!VELORANTIS_PACKET_FILTERS && example.query.find("filter=") != std::string::npos) continue;
    std::string documented;
    for (size_t line = example.firstLine; line < example.endLine; ++line) {
      documented += lines[line] + "\n";
    }
    if (updating) {
      const std::vector<std::string> answer = Lines(answers[k]);
      lines.erase(lines.begin() + example.firstLine, lines.begin() + example.endLine);
      lines.insert(lines.begin() + example.firstLine, answer.begin(), answer.end());
    } else {
      EXPECT_EQ(WithoutFreeSpace(documented), WithoutFreeSpace(answers[k]))
          << "docs/api.md line " << example.firstLine << ", query " << example.query;
    }
  }
  if (updating) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    WriteFile(kDocument, text);
  }
}

// The models and download file names in the prose and the header examples
// are the demo's too: each model is one the list answer names, each file
// name the one the download of ledger entry 1 carries.
TEST_F(ApiExamples, NameOnlyTheDemosModelsAndFiles) {
  const std::string text = ReadFile(kDocument);
  const std::string list = Answer("command=list");
  const HttpResponse download = HttpGet(server_.Url("command=download&id=1"));
  const std::string disposition = HeaderValue(download, "content-disposition").value_or("");
  int names = 0;
  // Each word "Velorantis-..." of the document: a model ("Velorantis-B20"),
  // or a download's name ("Velorantis-<MAC>-<start>.pcapng") when a MAC
  // follows; a window's name has more after the start.
  for (size_t at = text.find("Velorantis-"); at != std::string::npos;
       at = text.find("Velorantis-", at + 1)) {
    size_t end = at + 11;
    while (end < text.size() && (isalnum(static_cast<unsigned char>(text[end])) ||
                                 text[end] == '+' || text[end] == '-' || text[end] == '.')) {
      ++end;
    }
    const std::string word = text.substr(at, end - at);
    const std::string rest = word.substr(11);
    if (rest.empty()) continue;
    if (isupper(static_cast<unsigned char>(rest[0]))) {
      EXPECT_NE(list.find('"' + word + '"'), std::string::npos) << word;
    } else if (rest.size() == 41 && rest[2] == '-' && rest[17] == '-' &&
               rest.ends_with("Z.pcapng")) {
      ++names;
      EXPECT_NE(disposition.find(word), std::string::npos) << word << " vs " << disposition;
    }
  }
  EXPECT_GT(names, 0);
}

}  // namespace
