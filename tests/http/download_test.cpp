// Capture files downloaded through lighttpd with curl: whole, by range,
// resumed, and refused with an HTTP error status.
#include <gtest/gtest.h>
#include <sys/stat.h>
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
    RecreateDatabase(kTestRecordsDb, "records.sql");
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
    RecordFileIdentities(kTestRecordsDb);
  }

  // An ended capture; with `pinned`, the ledger knows the file as it is now.
  static void AddLedgerEntry(int id, const std::string& file, const char* state = "stopped",
                             bool pinned = false) {
    struct stat info {};
    const bool known = pinned && stat(file.c_str(), &info) == 0;
    const std::string identity =
        known ? std::to_string(info.st_dev) + ", " + std::to_string(info.st_ino) + ", " +
                    std::to_string(info.st_size) + ", " +
                    std::to_string(info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec)
              : "0, 0, -1, -1";
    ExecSql(kTestRecordsDb,
            "INSERT INTO captures (id, mac, file, loop, count, size, duration, inline, slicing, "
            "state, started, startedby, startedfrom, filedev, fileino, filesize, filemtime) "
            "VALUES (" +
                std::to_string(id) + ", '00:11:22:33:44:55', '" + file +
                "', 1, 0, 104857600, 0, 1, 0, '" + state + "', 1796717695, '-', '-', " + identity +
                ")");
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
  // A failed start's entry names the file of whichever capture came next.
  AddLedgerEntry(6, capture_, "failed");
  // The ledger knows these files; then another takes each one's place: a
  // file renamed over it, and a link put in place of its folder that leads
  // to a file of the same name.
  const std::string replaced = dir_.File("replaced.pcapng");
  WriteFile(replaced, "the capture");
  AddLedgerEntry(7, replaced, "stopped", true);
  WriteFile(replaced + ".new", "another file");
  ASSERT_EQ(rename((replaced + ".new").c_str(), replaced.c_str()), 0);
  const TempDir other;
  ASSERT_EQ(mkdir(dir_.File("sub").c_str(), 0755), 0);
  WriteFile(dir_.File("sub/Velorantis.pcapng"), "the capture");
  AddLedgerEntry(8, dir_.File("sub/Velorantis.pcapng"), "ended", true);
  WriteFile(other.File("Velorantis.pcapng"), "the capture");
  ASSERT_EQ(rename(dir_.File("sub").c_str(), dir_.File("sub.old").c_str()), 0);
  ASSERT_EQ(symlink(other.path().c_str(), dir_.File("sub").c_str()), 0);
  // Known by path only (a ledger an earlier version kept), behind a link.
  AddLedgerEntry(9, dir_.File("sub/Velorantis.pcapng"));

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
      {"command=download&id=6", "", 404, "Capture has no file"},
      {"command=download&id=7", "", 404, "Capture file has changed"},
      {"command=download&id=8", "", 404, "Capture file has changed"},
      {"command=download&id=9", "", 404, "Capture file has changed"},
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
// under a name it would decode differently.
TEST_F(DownloadTest, HandedOverToTheServer) {
  WriteFile(dir_.File("a%41 b.pcapng"), ReadFile(capture_));
  AddLedgerEntry(5, dir_.File("a%41 b.pcapng"), "stopped", true);
  EXPECT_TRUE(Get("command=download&id=5").body == ReadFile(capture_));
  const std::string header =
      RunHelper("command=download&id=5", {{"VELORANTIS_X_SENDFILE", "1"}}).out;
  EXPECT_TRUE(header.ends_with("\nX-Sendfile: " + dir_.File("a%2541%20b.pcapng") + "\n\n"))
      << header;
}

}  // namespace
