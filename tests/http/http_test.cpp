// The request program behind lighttpd, driven over HTTP: what the web
// interface meets. Every answer must be HTTP 200 with the program's JSON.
#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "http/http_get.h"
#include "http/web_server.h"
#include "shared/sqlite_handles.h"
#include "support/run_program.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace {

const char kMac[] = "00:11:22:33:44:55";

// The "root" object of an answer; fails the test unless it is HTTP 200 with
// the program's content type and a body that parses as JSON.
nlohmann::json Root(const HttpResponse& response, const std::string& what) {
  EXPECT_EQ(response.status, 200) << what;
  EXPECT_EQ(HeaderValue(response, "content-type"), "application/json") << what;
  const nlohmann::json document = nlohmann::json::parse(response.body, nullptr, false);
  EXPECT_TRUE(document.is_object() && document["root"].is_object()) << what << "\n"
                                                                    << response.body;
  if (!document.is_object() || !document["root"].is_object()) return {};
  const nlohmann::json& root = document["root"];
  EXPECT_TRUE(root["result"].is_number_integer() && root["message"].is_string()) << what;
  return root;
}

class HttpTest : public testing::Test {
 protected:
  HttpTest() {
    sim_.WriteDevices(std::string(kMac) + " 11\n00:11:22:33:44:56 13\n");
    RecreateDatabase(kTestConfigDb, "config.sql");
    RemoveDatabase(kTestStatusDb);
  }

  nlohmann::json Get(const std::string& query) {
    return Root(HttpGet(server_.Url(query)), query.substr(0, 80));
  }

  // One round of the stand-in status daemon into the status database.
  void RecordStatus() {
    EXPECT_EQ(
        RunProgram({VELORANTIS_STATUSD_SIM_PATH, "--once", "--db", kTestStatusDb}, {}).exitStatus,
        0);
  }

  std::string StartQuery() const {
    return std::string("command=start&mac=") + kMac + "&output=" + captures_.path() +
           "&loop=1&count=0&size=100&duration=0";
  }

  SimDir sim_;  // before the server, which passes its directory on
  TempDir captures_;
  WebServer server_;
};

TEST_F(HttpTest, EveryCommandAndTheFrontEndsErrors) {
  struct Case {
    std::string query;
    int result;
    const char* message;
    const char* node;  // a node the answer must hold besides the result
  };
  const Case cases[] = {
      {"command=list", 0, "", "devices"},
      {"command=getconfig&mac=default", 0, "", "config"},
      {"command=setconfig&mac=default&output=/srv&loop=1&count=0&size=1&duration=0&slicing=0"
       "&inline=1",
       0, "", nullptr},
      {"command=start&mac=00:11:22:33:44:56&output=" + captures_.path(), -1, "Invalid loop value",
       nullptr},
      {"command=stop&mac=00:11:22:33:44:56", 0, "", nullptr},
      {"command=status&mac=00:11:22:33:44:56", -1, "Cannot open database", nullptr},
      {"", -1, "No command specified", nullptr},
      {"command=lis%74x", -1, "Unknown command", nullptr},
  };
  for (const Case& c : cases) {
    const nlohmann::json root = Get(c.query);
    EXPECT_EQ(root["result"], c.result) << c.query;
    EXPECT_EQ(root["message"], c.message) << c.query;
    if (c.node != nullptr) {
      EXPECT_TRUE(root.contains(c.node)) << c.query;
    }
  }
}

// The example of docs/security.md.
TEST_F(HttpTest, AuthenticationInFrontOfTheProgram) {
  TempDir users;
  WriteFile(users.File("users"),  // password "secret"
            "velorantis:$6$velorantis$cKCDCDHZrMjJmsjyCYOasBNDu.jWQyd7nj6ua/"
            "lnj1RXm2tfCTTdinMsvTaE1PPBe4f8TN7Qtx00U8Jmnhwg/.\n");
  WebServer guarded("lighttpd", {"--auth", users.File("users")});
  std::string url = guarded.Url("command=list");
  EXPECT_EQ(HttpGet(url).status, 401);
  EXPECT_EQ(HttpGet(url.insert(strlen("http://"), "velorantis:wrong@")).status, 401);
  url.replace(url.find("wrong"), 5, "secret");
  EXPECT_EQ(Root(HttpGet(url), url)["devices"].size(), 2u);
}

// A capture's middle third through lighttpd, asked in Unix seconds and in
// RFC 3339: the same file.
TEST_F(HttpTest, TimeWindowOfACapture) {
  ASSERT_EQ(Get(std::string("command=start&mac=") + kMac + "&output=" + captures_.path() +
                "&loop=0&count=3000&size=0&duration=0")["result"],
            0);
  nlohmann::json entry;
  do {
    entry = Get("command=captures")["captures"][0];
  } while (entry["state"] == "running");
  const double first = entry["first"];
  const double last = entry["last"];
  const auto seconds = [](double at) { return std::to_string(at); };  // six decimals
  const auto rfc3339 = [](double at) {
    const time_t whole = static_cast<time_t>(at);
    tm utc{};
    gmtime_r(&whole, &utc);
    char text[40];
    strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return text + std::to_string(at - static_cast<double>(whole)).substr(1) + "Z";
  };
  const double from = first + (last - first) / 3;
  const double to = first + (last - first) * 2 / 3;
  const std::string id = "command=download&id=" + std::to_string(int{entry["id"]});
  const HttpResponse byNumber =
      HttpGet(server_.Url(id + "&from=" + seconds(from) + "&to=" + seconds(to)));
  const HttpResponse byDate =
      HttpGet(server_.Url(id + "&from=" + rfc3339(from) + "&to=" + rfc3339(to)));
  EXPECT_EQ(byNumber.status, 200);
  EXPECT_EQ(HeaderValue(byNumber, "content-type"), "application/x-pcapng");
  EXPECT_TRUE(byNumber.body == byDate.body);
  EXPECT_GT(byNumber.body.size(), 1000u);
}

TEST_F(HttpTest, FullSession) {
  const std::string mac = kMac;
  EXPECT_EQ(Get("command=setconfig&mac=default&output=" + captures_.path() +
                "&loop=1&count=0&size=100&duration=0&slicing=128&inline=0")["result"],
            0);
  const nlohmann::json config = Get("command=getconfig&mac=" + mac)["config"];
  EXPECT_EQ(config["destination"], captures_.path());
  EXPECT_EQ(config["size"], 100);
  EXPECT_EQ(config["slicing"], 128);
  EXPECT_EQ(config["inline"], 0);

  EXPECT_EQ(Get(StartQuery())["result"], 0);
  RecordStatus();
  const nlohmann::json status = Get("command=status&mac=" + mac);
  EXPECT_EQ(status["result"], 0);
  EXPECT_EQ(status["info"]["mac"], mac);
  EXPECT_EQ(status["capture"]["status"], 1) << "the capture is not shown running";
  EXPECT_EQ(Get(StartQuery())["message"], "Capture is already running");
  EXPECT_EQ(Get("command=stop&mac=" + mac)["result"], 0);

  // A real reader of capture files judges what the capture left behind.
  const ProgramResult reader =
      RunHostProgram({VELORANTIS_CAPINFOS_PATH, "-t", captures_.File("Velorantis.pcapng")}, {});
  EXPECT_EQ(reader.exitStatus, 0) << reader.out << reader.err;
  EXPECT_NE(reader.out.find("pcapng"), std::string::npos) << reader.out;
  // The server's log holds one line, for the one refused request.
  const std::string log = server_.CgiStderr();
  EXPECT_EQ(log.find('\n'), log.size() - 1) << log;
  EXPECT_NE(
      log.find("message=\"Capture is already running\" cause=\"VelorantisAPIDiskDumpGetStatus "
               "reports a capture running\" remote_addr=\"127.0.0.1\"\n"),
      std::string::npos)
      << log;
}

// Quotes, escapes of a zero byte, CR LF and 0xff, raw bytes that are not
// UTF-8, and kilobytes of '%' in every variable. The percent run comes last:
// it decodes to zero bytes, which end the value.
TEST_F(HttpTest, HostileRequests) {
  const std::string hostile =
      "\"'%22%0d%0a%ff\xff\xfe\xc0\x80<>\\%5c%" + std::string(2000, '%') + "%00";
  const auto every = [&](const std::string& command) {
    std::string query = "command=" + command;
    for (const char* name : {"mac", "output", "loop", "count", "size", "duration", "slicing",
                             "inline", "from", "limit"}) {
      query += std::string("&") + name + "=" + hostile;
    }
    return query;
  };
  std::set<std::string> serverHeaders;
  for (const auto& header : HttpGet(server_.Url("command=list")).headers) {
    serverHeaders.insert(header.first);
  }
  const std::string queries[] = {
      every(hostile),
      every("list"),
      every("start"),
      every("stop"),
      every("status"),
      every("setconfig"),
      every("getconfig"),
      // Not UTF-8: refused before anything is stored.
      every("setconfig") + "&mac=default",
  };
  for (const std::string& query : queries) {
    const HttpResponse response = HttpGet(server_.Url(query));
    Root(response, query.substr(0, 40));
    for (const auto& header : response.headers) {
      EXPECT_EQ(serverHeaders.count(header.first), 1u)
          << header.first << " in " << query.substr(0, 40);
    }
  }
  const nlohmann::json config = Get("command=getconfig&mac=default")["config"];
  EXPECT_EQ(config["destination"], "") << config;
}

// Many requests at once over few connections: each is its own process, and
// they meet in the device library's and SQLite's locks. Each answer must be
// one its command can give.
TEST_F(HttpTest, BurstOfMixedCommands) {
  RecordStatus();
  // On the appliance the status daemon keeps the status database open. With
  // no connection open, the first reader of its write-ahead log rebuilds the
  // log's index, and readers that meet that fail at once (no busy timeout):
  // this connection stands in for the daemon's.
  Connection daemonConnection;
  ASSERT_TRUE(OpenDatabase(kTestStatusDb, DatabaseUse::kWriter, Message::kCannotOpenDatabase,
                           daemonConnection)
                  .ok());
  ASSERT_EQ(sqlite3_exec(daemonConnection.get(), "SELECT count(*) FROM device", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  struct Kind {
    std::string query;
    std::set<std::string> messages;  // the answers a concurrent request may get
  };
  const std::string mac = kMac;
  // Requests that change the device queue at its lock; on a loaded machine or
  // under an emulator the queue of 16 connections can pass the five seconds
  // a request waits there.
  const std::string busy = "Device is busy with another request";
  const Kind kinds[] = {
      {"command=list", {""}},
      {"command=getconfig&mac=default", {"", "Cannot load configuration from database"}},
      {"command=setconfig&mac=default&output=" + captures_.path() +
           "&loop=0&count=0&size=1&duration=0&slicing=0&inline=1",
       {"", "Failed to save configuration in database", busy}},
      {StartQuery(), {"", "Capture is already running", "Failed to start capture", busy}},
      {"command=stop&mac=" + mac, {"", busy}},
      {"command=status&mac=" + mac + "&limit=-1", {""}},
  };
  constexpr size_t kRequests = 512;
  constexpr int kConnections = 16;
  std::vector<std::string> urls;
  for (size_t i = 0; i < kRequests; ++i)
    urls.push_back(server_.Url(kinds[i % std::size(kinds)].query));
  TempDir scratch;
  const std::vector<HttpResponse> responses = HttpGetAll(urls, kConnections, scratch.path());
  ASSERT_EQ(responses.size(), kRequests);
  size_t valid = 0;
  for (size_t i = 0; i < kRequests; ++i) {
    const Kind& kind = kinds[i % std::size(kinds)];
    const nlohmann::json root = Root(responses[i], kind.query);
    const bool expected = root.is_object() && root["message"].is_string() &&
                          kind.messages.count(root["message"].get<std::string>()) == 1;
    EXPECT_TRUE(expected) << kind.query << "\n" << responses[i].body;
    if (expected) ++valid;
  }
  EXPECT_EQ(valid, kRequests);
}

}  // namespace
