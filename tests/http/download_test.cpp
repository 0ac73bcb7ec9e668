// Capture files downloaded through lighttpd with curl: whole, by range,
// resumed, and refused with an HTTP error status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "http/http_get.h"
#include "http/web_server.h"
#include "support/run_program.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace {

constexpr uint64_t k4GiB = uint64_t{1} << 32;
const std::string kTail = "the last bytes of a capture past 4 GiB";

std::string Sha256(const std::string& path) {
  return RunHostProgram({"sha256sum", path}, {}).out.substr(0, 64);
}

class DownloadTest : public testing::Test {
 protected:
  DownloadTest() {
    RecreateDatabase(kTestConfigDb, "config.sql");
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7919 >> 5);
    WriteFile(capture_, bytes);
    // A sparse file whose last bytes lie past 4 GiB.
    RunHostProgram(
        {"sh", "-c", "truncate -s 4G \"$0\" && printf %s \"$1\" >>\"$0\"", sparse_, kTail}, {});
    AddLedgerEntry(1, capture_);
    AddLedgerEntry(2, sparse_);
    AddLedgerEntry(3, dir_.File("gone.pcapng"));
    EXPECT_EQ(symlink(capture_.c_str(), dir_.File("link.pcapng").c_str()), 0);
    AddLedgerEntry(4, dir_.File("link.pcapng"));
  }

  static void AddLedgerEntry(int id, const std::string& file) {
    ExecSql(kTestConfigDb,
            "INSERT INTO captures (id, mac, file, loop, count, size, duration, inline, slicing, "
            "state, started, startedby, startedfrom) VALUES (" +
                std::to_string(id) + ", '00:11:22:33:44:55', '" + file +
                "', 1, 0, 104857600, 0, 1, 0, 'stopped', 1796717695, '-', '-')");
  }

  HttpResponse Get(const std::string& query, const std::string& range = "") {
    return HttpGet(server_.Url(query), std::nullopt,
                   range.empty() ? std::vector<std::string>{}
                                 : std::vector<std::string>{"--header", "Range: bytes=" + range});
  }

  TempDir dir_;
  const std::string capture_ = dir_.File("Velorantis.pcapng");
  const std::string sparse_ = dir_.File("sparse.pcapng");
  WebServer server_;
};

TEST_F(DownloadTest, WholeRangedResumedAndRefused) {
  const HttpResponse whole = Get("command=download&id=1");
  EXPECT_EQ(whole.status, 200);
  EXPECT_EQ(HeaderValue(whole, "content-type"), "application/x-pcapng");
  EXPECT_EQ(HeaderValue(whole, "content-disposition"),
            "attachment; filename=\"Velorantis-00-11-22-33-44-55-20261208T081455Z.pcapng\"");
  EXPECT_EQ(HeaderValue(whole, "content-length"), "300000");
  EXPECT_EQ(HeaderValue(whole, "accept-ranges"), "bytes");
  EXPECT_TRUE(whole.body == ReadFile(capture_));

  const HttpResponse part = Get("command=download&id=1", "1000-1999");
  EXPECT_EQ(part.status, 206);
  EXPECT_EQ(HeaderValue(part, "content-range"), "bytes 1000-1999/300000");
  EXPECT_TRUE(part.body == ReadFile(capture_).substr(1000, 1000));
  const HttpResponse far =
      Get("command=download&id=2", std::string("-").append(std::to_string(kTail.size())));
  EXPECT_EQ(HeaderValue(far, "content-range"), "bytes " + std::to_string(k4GiB) + "-" +
                                                   std::to_string(k4GiB + kTail.size() - 1) + "/" +
                                                   std::to_string(k4GiB + kTail.size()));
  EXPECT_EQ(far.body, kTail);

  // curl -C - asks for the rest of what it has, and the two parts are the file.
  const std::string resumed = dir_.File("resumed.pcapng");
  WriteFile(resumed, ReadFile(capture_).substr(0, 123457));
  RunHostProgram({"curl", "-sS", "-C", "-", "-o", resumed, server_.Url("command=download&id=1")},
                 {});
  EXPECT_EQ(Sha256(resumed), Sha256(capture_));

  const struct {
    std::string query, range;
    int status;
    std::string message;
  } refusals[] = {
      {"command=download&id=1", "300000-", 416, "Requested range not satisfiable"},
      {"command=download&id=5", "", 404, "No such capture"},
      {"command=download&id=4", "", 404, "Capture file is not a regular file"},
      {"command=download&id=1x", "", 404, "Invalid capture id"},
      {"command=download&id=3", "", 404, "Capture file is gone"},
  };
  for (const auto& refusal : refusals) {
    const HttpResponse response = Get(refusal.query, refusal.range);
    EXPECT_EQ(response.status, refusal.status) << refusal.query;
    EXPECT_EQ(response.body,
              "{\"root\": {\n\"result\": -1,\n\"message\": \"" + refusal.message + "\"}}\n");
  }
  EXPECT_EQ(HeaderValue(Get("command=download&id=1", "300000-"), "content-range"),
            "bytes */300000");
}

// A ranged request gets its part only while If-Range is the file's exact
// tag, from the program and through the server it hands the file to.
TEST_F(DownloadTest, IfRangeMatchesTheExactTagOnly) {
  const HttpResponse whole = Get("command=download&id=1");
  const std::string tag = HeaderValue(whole, "etag").value_or("");
  const std::pair<std::string, size_t> conditions[] = {
      {tag, 10}, {"W/" + tag, 300000}, {*HeaderValue(whole, "last-modified"), 300000}};
  for (const auto& [condition, size] : conditions) {
    const std::string out = RunHelper("command=download&id=1",
                                      {{"HTTP_RANGE", "bytes=10-19"}, {"HTTP_IF_RANGE", condition}})
                                .out;
    EXPECT_EQ(out.size() - out.find("\n\n") - 2, size) << condition;
    EXPECT_EQ(HttpGet(server_.Url("command=download&id=1"), std::nullopt,
                      {"--header", "Range: bytes=10-19", "--header", "If-Range: " + condition})
                  .body.size(),
              size)
        << condition;
  }
}

// lighttpd sends the file the program names, whole and by range above; also
// under a name it would decode differently, and through a folder link, where
// the program sends the file itself.
TEST_F(DownloadTest, HandedOverToTheServer) {
  EXPECT_EQ(symlink(dir_.path().c_str(), dir_.File("folder").c_str()), 0);
  WriteFile(dir_.File("a%41 b.pcapng"), ReadFile(capture_));
  AddLedgerEntry(5, dir_.File("a%41 b.pcapng"));
  AddLedgerEntry(6, dir_.File("folder/Velorantis.pcapng"));
  for (const std::string id : {"5", "6"}) {
    EXPECT_TRUE(Get("command=download&id=" + id).body == ReadFile(capture_)) << id;
    const std::string header =
        RunHelper("command=download&id=" + id, {{"VELORANTIS_X_SENDFILE", "1"}}).out;
    EXPECT_EQ(header.ends_with("\nX-Sendfile: " + dir_.File("a%2541%20b.pcapng") + "\n\n"),
              id == "5")
        << header.size();
  }
}

}  // namespace
