// The request program behind every web server the deployment guide
// configures (scripts/serve.sh): one table of requests, each answered
// exactly as the program answers when run directly, then a burst of mixed
// requests while the stand-in status daemon writes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "helper/records_db/records_db.h"
#include "http/http_get.h"
#include "http/web_server.h"
#include "shared/paths.h"
#include "support/run_program.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"

namespace {

const std::string kMac = "00:11:22:33:44:55";

std::string StatusdSim() {
  return StagedPath("velorantis-statusd-sim", VELORANTIS_STATUSD_SIM_PATH);
}

// The body of the program's answer when run directly: its output after the
// header.
std::string DirectBody(const std::string& query) {
  const std::string out = RunHelper(query).out;
  const size_t body = out.find("\n\n");
  return body == std::string::npos ? out : out.substr(body + 2);
}

// The stand-in status daemon writing rounds one after another until the
// object goes.
class WritingDaemon {
 public:
  WritingDaemon() {
    const std::string program = StatusdSim();
    pid_ = fork();
    if (pid_ == 0) {
      execl(program.c_str(), "velorantis-statusd-sim", "--interval", "0", nullptr);
      _exit(127);
    }
  }
  ~WritingDaemon() {
    kill(pid_, SIGTERM);
    int status = -1;
    waitpid(pid_, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  WritingDaemon(const WritingDaemon&) = delete;
  WritingDaemon& operator=(const WritingDaemon&) = delete;

 private:
  pid_t pid_ = -1;
};

class ServersTest : public testing::TestWithParam<const char*> {
 protected:
  ServersTest() {
    sim_.WriteDevices(kMac + " 11\n00:11:22:33:44:56 13\n");
    RecreateDatabase(kConfigDatabasePath, "config.sql");
    RemoveDatabase(kStatusDatabasePath);
    for (int round = 0; round < 3; ++round) {
      EXPECT_EQ(RunProgram({StatusdSim(), "--once"}, {}).exitStatus, 0);
    }
  }

  std::string Captures() const { return "&output=" + captures_.path(); }

  SimDir sim_;  // before the server, which passes its directory on
  TempDir captures_;
  WebServer server_{GetParam(), {}};
};

TEST_P(ServersTest, AnswersAsTheProgramDoesDirectly) {
  struct Row {
    std::string query;
    std::optional<std::string> postBody = std::nullopt;
    std::string undo = {};  // run directly after each answer, so both see one state
    bool succeeds = false;  // not only the same answer, but a success
  };
  const Row rows[] = {
      {"command=list"},
      {"command=setconfig&mac=default" + Captures() +
           "&loop=1&count=0&size=100&duration=0&slicing=128&inline=0",
       std::nullopt,
       {},
       true},
      {"command=getconfig&mac=default"},
      {"command=start&mac=" + kMac + Captures() + "&loop=1&count=0&size=100&duration=0",
       std::nullopt, "command=stop&mac=" + kMac, true},
      {"command=stop&mac=" + kMac},
      {"command=status&mac=" + kMac + "&from=1&limit=2"},
      {"command=start&mac=00:11:22:33:44:56" + Captures()},
      {"command=lis%74x"},
      // More than a pipe holds, so a program that left it unread would block
      // the server's writing.
      {"command=getconfig&mac=default", "output=/elsewhere&" + std::string(200000, 'x')},
  };
  for (const Row& row : rows) {
    const std::string direct = DirectBody(row.query);
    if (!row.undo.empty()) DirectBody(row.undo);
    const HttpResponse response = HttpGet(server_.Url(row.query), row.postBody);
    if (!row.undo.empty()) DirectBody(row.undo);
    EXPECT_EQ(response.status, 200) << row.query;
    EXPECT_EQ(HeaderValue(response, "content-type"), "application/json") << row.query;
    EXPECT_EQ(response.body, direct) << row.query;
    if (row.succeeds) {
      EXPECT_NE(direct.find("\"result\": 0,"), std::string::npos) << direct;
    }
  }
}

TEST_P(ServersTest, BurstWhileTheDaemonWrites) {
  const std::string queries[] = {
      "command=list",
      "command=getconfig&mac=default",
      "command=setconfig&mac=default" + Captures() +
          "&loop=0&count=0&size=1&duration=0&slicing=0&inline=1",
      "command=start&mac=" + kMac + Captures() + "&loop=1&count=0&size=100&duration=0",
      "command=stop&mac=" + kMac,
      "command=status&mac=" + kMac + "&limit=-1",
  };
  constexpr size_t kRequests = 150;
  std::vector<std::string> urls;
  for (size_t i = 0; i < kRequests; ++i) urls.push_back(server_.Url(queries[i % 6]));
  TempDir scratch;
  std::vector<HttpResponse> responses;
  {
    const WritingDaemon daemon;
    responses = HttpGetAll(urls, 8, scratch.path());
  }
  ASSERT_EQ(responses.size(), kRequests);
  for (size_t i = 0; i < kRequests; ++i) {
    EXPECT_EQ(responses[i].status, 200) << urls[i];
    EXPECT_TRUE(nlohmann::json::accept(responses[i].body)) << urls[i] << "\n" << responses[i].body;
  }
}

// A capture whole and by range; through one server also one past 4 GiB,
// a sparse file, whole (counted, not kept) and its last bytes.
TEST_P(ServersTest, DownloadsCaptureWholeAndByRange) {
  std::string bytes(300000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7919 >> 5);
  const std::string file = captures_.File("Velorantis.pcapng");
  const std::string sparse = captures_.File("sparse.pcapng");
  WriteFile(file, bytes);
  RunHostProgram({"sh", "-c", "truncate -s 4G \"$0\" && printf %s end >>\"$0\"", sparse}, {});
  RecreateDatabase(RecordsDatabasePath(), "records.sql");
  ExecSql(RecordsDatabasePath(),
          "INSERT INTO captures (id, mac, file, loop, count, size, duration, inline, slicing, "
          "state, started, startedby, startedfrom) VALUES (1, '" +
              kMac + "', '" + file + "', 1, 0, 0, 0, 1, 0, 'ended', 0, '-', '-'), (2, '" + kMac +
              "', '" + sparse + "', 1, 0, 0, 0, 1, 0, 'ended', 0, '-', '-')");
  RecordFileIdentities(RecordsDatabasePath());
  const HttpResponse whole = HttpGet(server_.Url("command=download&id=1"));
  EXPECT_EQ(whole.status, 200);
  EXPECT_TRUE(whole.body == bytes);
  // BusyBox httpd keeps the Range header to itself: the variable stands in.
  const bool busybox = std::string(GetParam()) == "busybox";
  const HttpResponse part = busybox ? HttpGet(server_.Url("command=download&id=1&range=5-9"))
                                    : HttpGet(server_.Url("command=download&id=1"), std::nullopt,
                                              {"-H", "Range: bytes=5-9"});
  EXPECT_EQ(part.status, 206);
  EXPECT_EQ(HeaderValue(part, "content-range"), "bytes 5-9/300000");
  EXPECT_TRUE(part.body == bytes.substr(5, 5));
  // Every download is in the audit trail, whoever sends its bytes (lighttpd
  // through X-Sendfile but for a stale If-Range, the program elsewhere),
  // also when its client goes away early.
  const std::string url = "'" + server_.Url("command=download&id=1");
  const std::string kinds[] = {"-I " + url + "'", "-H 'If-Range: \"stale\"' -r 0-9 " + url + "'",
                               "--max-filesize 1000 " + url + "'", url + "&from=1&to=2'",
                               url + "' | head -c 100"};
  for (const std::string& kind : kinds) RunHostProgram({"sh", "-c", "curl -s " + kind}, {});
  const std::string trail = RecordsDatabasePath();
  EXPECT_EQ(QueryText(trail, "SELECT count(*) FROM audit WHERE command = 'download'"), "7");
  EXPECT_EQ(QueryText(trail, "SELECT count(*) FROM audit WHERE byterange = 'bytes=5-9'"), "1");
  if (std::string(GetParam()) != "lighttpd") return;
  const std::string big = server_.Url("command=download&id=2");
  EXPECT_EQ(
      RunHostProgram({"curl", "-sS", "-o", "/dev/null", "-w", "%{size_download}", big}, {}).out,
      std::to_string((uint64_t{1} << 32) + 3));
  EXPECT_EQ(HttpGet(big, std::nullopt, {"-H", "Range: bytes=-3"}).body, "end");
}

// Behind the server's login the program knows each user's role: without a
// password nothing is served, a viewer's start is refused, an operator's
// runs. Where the server has TLS, over TLS, every answer with HSTS, while
// the plain port sends each request there before any login, credentials or
// not, and passes none on to the program.
TEST_P(ServersTest, LoginsGiveEachUserTheirRole) {
  TempDir files;
  const std::string hash =  // of "secret"
      "$6$velorantis$cKCDCDHZrMjJmsjyCYOasBNDu.jWQyd7nj6ua/"
      "lnj1RXm2tfCTTdinMsvTaE1PPBe4f8TN7Qtx00U8Jmnhwg/.\n";
  WriteFile(files.File("users"), "vera:" + hash + "opal:" + hash);
  WriteFile(kRolesFilePath, "vera viewer\nopal operator\n");
  std::vector<std::string> options = {"--auth", files.File("users")};
  const bool tls = std::string(GetParam()) != "busybox";
  const std::string https = "https://127.0.0.1:" + std::to_string(FreeLoopbackPort());
  if (tls) {
    ASSERT_EQ(RunHostProgram(
                  {VELORANTIS_OPENSSL_PATH, "req", "-x509", "-newkey", "ec", "-pkeyopt",
                   "ec_paramgen_curve:prime256v1", "-nodes", "-subj", "/CN=127.0.0.1", "-addext",
                   "subjectAltName=IP:127.0.0.1", "-addext", "basicConstraints=critical,CA:FALSE",
                   "-keyout", files.File("key"), "-out", files.File("cert")},
                  {})
                  .exitStatus,
              0);
    options.insert(options.end(), {"--tls-port", https.substr(https.rfind(':') + 1), "--tls-cert",
                                   files.File("cert"), "--tls-key", files.File("key")});
  }
  {
    WebServer guarded{GetParam(), options};
    const std::string plain = guarded.Url("command=start&mac=" + kMac + Captures() +
                                          "&loop=0&count=10&size=0&duration=0");
    const std::string start = tls ? https + plain.substr(plain.find("/cgi-bin/")) : plain;
    const struct {
      std::vector<std::string> login;
      int status;
      std::string answer;
    } rows[] = {
        {{}, 401, {}},
        {{"-u", "vera:secret"}, 403, "\"Permission denied\""},
        {{"-u", "opal:secret"}, 200, "\"result\": 0,"},
    };
    for (const auto& row : rows) {
      const std::string who = row.login.empty() ? "no login" : row.login[1];
      if (tls) {
        const HttpResponse redirect = HttpGet(plain, std::nullopt, row.login);
        EXPECT_EQ(redirect.status, 301) << who;
        EXPECT_EQ(HeaderValue(redirect, "location"), start) << who;
        EXPECT_EQ(HeaderValue(redirect, "www-authenticate"), std::nullopt) << who;
      }
      std::vector<std::string> curl = row.login;
      if (tls) curl.insert(curl.end(), {"--cacert", files.File("cert")});
      const HttpResponse response = HttpGet(start, std::nullopt, curl);
      EXPECT_EQ(response.status, row.status) << who;
      EXPECT_NE(response.body.find(row.answer), std::string::npos) << who << response.body;
      if (tls) {
        EXPECT_EQ(HeaderValue(response, "strict-transport-security"), "max-age=31536000") << who;
      }
    }
  }
  unlink(kRolesFilePath);
}

INSTANTIATE_TEST_SUITE_P(Servers, ServersTest,
                         testing::Values("lighttpd", "apache", "nginx", "busybox"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

}  // namespace
