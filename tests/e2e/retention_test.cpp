// The capture disk kept within its retention policy, delete and pin, and
// removals that survive a killed process, through the program.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>

#include "support/run_program.h"
#include "support/sim_dir.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace {

const std::string kA = "00:11:22:33:44:55";
constexpr int64_t kQuota = 650000;

nlohmann::json Answer(const std::string& query) {
  const std::string out = HelperOutput(query);
  return nlohmann::json::parse(out.substr(out.find('{')))["root"];
}

std::string Message(const std::string& query) { return Answer(query)["message"]; }

nlohmann::json Captures() { return Answer("command=captures&limit=100")["captures"]; }

// Starts a capture of `count` packets (about 1 kB each; 0: until stopped)
// and, for a limited one, waits until the ledger has it ended.
void Capture(const std::string& dir, int count) {
  ASSERT_EQ(Message("command=start&mac=" + kA + "&output=" + dir +
                    "&loop=0&count=" + std::to_string(count) + "&size=0&duration=0"),
            "");
  while (count > 0 && Captures()[0]["state"] == "running") {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

int64_t EndedBytes(const nlohmann::json& captures) {
  int64_t bytes = 0;
  for (const auto& entry : captures) {
    if (entry["state"] != "running" && entry["size"] > 0) bytes += int64_t{entry["size"]};
  }
  return bytes;
}

class RetentionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_.WriteDevices(kA + " 3\n00:11:22:33:44:57 3 fail=start\n");
    RecreateDatabase(kTestConfigDb, "config.sql");
  }

  SimDir sim_;
  TempDir out_;
};

// Eight captures of about 207 kB under a quota of 650,000 bytes, then a
// floor of half a 2 MiB file system, with the first capture pinned.
TEST_F(RetentionTest, FillsToTheQuotaAndTheFloorOldestFirst) {
  if (mount("tmpfs", out_.path().c_str(), "tmpfs", 0, "size=2m") != 0) {
    GTEST_SKIP() << "a 2 MiB tmpfs cannot be mounted here: " << strerror(errno);
  }
  ASSERT_EQ(Message("command=setretention&maxbytes=" + std::to_string(kQuota) + "&minfree=0"), "");
  for (int round = 0; round < 8; ++round) {
    Capture(out_.path(), 200);
    if (round == 0) {
      ASSERT_EQ(Message("command=pin&id=1&pinned=1"), "");
    }
    EXPECT_LE(EndedBytes(Captures()), kQuota) << "round " << round;
  }
  const nlohmann::json captures = Captures();
  const nlohmann::json& pinned = captures.back();
  EXPECT_EQ(pinned["pinned"], 1);
  EXPECT_TRUE(std::filesystem::exists(std::string(pinned["file"])));
  // The disk holds the files of the entries that are not deleted, and no
  // other: a deleted capture's name may since hold a newer capture's file.
  int deleted = 0;
  std::set<std::string> kept;
  for (const auto& entry : captures) {
    if (entry["state"] != "deleted") {
      kept.insert(std::string(entry["file"]));
      continue;
    }
    ++deleted;
    EXPECT_EQ(entry["deletedby"], "retention");
  }
  std::set<std::string> files;
  for (const auto& file : std::filesystem::directory_iterator(out_.path())) {
    files.insert(file.path().string());
  }
  EXPECT_EQ(files, kept);
  EXPECT_GE(deleted, 3);

  ASSERT_EQ(Message("command=setretention&maxbytes=0&minfree=50"), "");
  for (int round = 0; round < 6; ++round) {
    Capture(out_.path(), 200);
    EXPECT_EQ(Answer("command=prune")["retention"]["met"], 1);
    struct statvfs space {};
    ASSERT_EQ(statvfs(out_.path().c_str(), &space), 0);
    EXPECT_GE(space.f_bavail * 100 / space.f_blocks, 50u) << "round " << round;
  }
  // A running capture stays, whatever the policy.
  Capture(out_.path(), 0);
  ASSERT_EQ(Message("command=setretention&maxbytes=1&minfree=0"), "");
  const nlohmann::json pruned = Answer("command=prune");
  EXPECT_EQ(pruned["retention"]["met"], 0);
  EXPECT_EQ(Captures()[0]["state"], "running");
  EXPECT_TRUE(std::filesystem::exists(out_.File("Velorantis.pcapng")));
  EXPECT_EQ(Message("command=stop&mac=" + kA), "");
  umount2(out_.path().c_str(), MNT_DETACH);
}

TEST_F(RetentionTest, DeleteAndPinRefusals) {
  Capture(out_.path(), 20);  // 1: deleted below
  Capture(out_.path(), 20);  // 2: pinned
  Answer("command=start&mac=00:11:22:33:44:57&output=" + out_.path() +
         "&loop=0&count=0&size=0&duration=0");  // 3: failed
  Capture(out_.path(), 0);                      // 4: running
  ASSERT_EQ(Message("command=pin&id=2&pinned=1"), "");
  ASSERT_EQ(Message("command=delete&id=1"), "");
  const std::pair<std::string, std::string> cases[] = {
      {"delete&id=4", "Capture is running"},
      {"delete&id=2", "Capture is pinned"},
      {"delete&id=3", "Capture has no file"},
      {"delete&id=1", "Capture is already deleted"},
      {"delete&id=99", "No such capture"},
      {"delete&id=-1", "Invalid capture id"},
      {"pin&id=1&pinned=1", "Capture has no file"},
      {"pin&id=2&pinned=yes", "Invalid pinned value"},
      {"pin&id=99&pinned=0", "No such capture"},
      {"setretention&maxbytes=1&minfree=100", "Invalid minfree value"},
  };
  for (const auto& [query, message] : cases)
    EXPECT_EQ(Message("command=" + query), message) << query;
  EXPECT_EQ(Captures()[2]["state"], "ended");  // the pinned one, untouched
  EXPECT_EQ(Message("command=stop&mac=" + kA), "");
}

// A prune killed between recording a removal and unlinking the file, and a
// file removed by hand: the next prune brings disk and ledger together.
TEST_F(RetentionTest, KilledPruneIsReconciled) {
  if (UnderEmulator()) {
    GTEST_SKIP() << "strace runs on the host only";
  }
  Capture(out_.path(), 20);
  Capture(out_.path(), 20);
  const std::string kept = Captures()[1]["file"];
  ASSERT_EQ(Message("command=setretention&maxbytes=1&minfree=0"), "");
  const ProgramResult killed =
      RunHostProgram({"strace", "-qq", "-o", "/dev/null", "-e", "signal=none", "-e",
                      "inject=unlinkat:signal=SIGKILL", VELORANTIS_HELPER_PATH},
                     {{"QUERY_STRING", "command=prune"}});
  EXPECT_EQ(killed.out, "") << killed.err;
  EXPECT_EQ(Captures()[1]["state"], "deleted");
  EXPECT_TRUE(std::filesystem::exists(kept));
  // The newer one goes by hand.
  std::filesystem::remove(out_.File("Velorantis.pcapng"));
  EXPECT_EQ(Captures()[0]["state"], "missing");
  EXPECT_NE(HelperOutput("command=download&id=2").find("Status: 404"), std::string::npos);
  const nlohmann::json pruned = Answer("command=prune");
  EXPECT_FALSE(std::filesystem::exists(kept));
  EXPECT_EQ(pruned["retention"]["used"], 0);
  EXPECT_EQ(pruned["retention"]["met"], 1);
}

// A file that cannot be unlinked stays, and so does its capture, whatever
// asked for the removal; a file with another name gives back no bytes.
TEST_F(RetentionTest, RemovalsSayWhatHappened) {
  if (UnderEmulator()) {
    GTEST_SKIP() << "strace runs on the host only";
  }
  Capture(out_.path(), 20);
  Capture(out_.path(), 20);
  const nlohmann::json before = Captures();
  const auto failingUnlink = [](const std::string& query) {
    return RunHostProgram({"strace", "-qq", "-o", "/dev/null", "-e", "signal=none", "-e",
                           "inject=unlinkat:error=EPERM", VELORANTIS_HELPER_PATH},
                          {{"QUERY_STRING", query}, {"HTTP_X_REQUESTED_WITH", "test"}});
  };
  const ProgramResult deleted = failingUnlink("command=delete&id=1");
  EXPECT_NE(deleted.out.find("Failed to remove the capture file"), std::string::npos);
  EXPECT_NE(deleted.err.find("cause=\"unlink "), std::string::npos) << deleted.err;
  ASSERT_EQ(Message("command=setretention&maxbytes=1&minfree=0"), "");
  const ProgramResult pruned = failingUnlink("command=prune");
  const nlohmann::json prune = nlohmann::json::parse(pruned.out.substr(pruned.out.find('{')));
  EXPECT_EQ(prune["root"]["prune"]["removed"], 0);
  EXPECT_EQ(prune["root"]["retention"]["met"], 0);
  EXPECT_EQ(prune["root"]["retention"]["used"], EndedBytes(before));
  EXPECT_NE(pruned.err.find("message=\"Capture file not removed\""), std::string::npos);
  EXPECT_EQ(Captures(), before);
  EXPECT_EQ(QueryText(kTestRecordsDb, "SELECT sum(removals) FROM removals"), "0");
  EXPECT_TRUE(std::filesystem::exists(std::string(before[1]["file"])));

  std::filesystem::create_hard_link(std::string(before[1]["file"]), out_.File("copy"));
  ASSERT_EQ(Message("command=delete&id=1"), "");
  EXPECT_EQ(Captures()[1]["freed"], 0);
  EXPECT_EQ(QueryText(kTestRecordsDb, "SELECT bytes FROM removals WHERE reason = 'delete'"), "0");
}

// An ended entry whose file identity was never recorded (the move of an
// older ledger leaves one where its file was absent) has no file: the
// running, pinned capture now at its path is not its own.
TEST_F(RetentionTest, AnEntryWithoutIdentityHasNoFile) {
  Capture(out_.path(), 20);
  Capture(out_.path(), 0);
  ASSERT_EQ(Message("command=pin&id=2&pinned=1"), "");
  ExecSql(kTestRecordsDb, "UPDATE captures SET file = '" + out_.File("Velorantis.pcapng") +
                              "', filedev = 0, fileino = 0, filesize = -1 WHERE id = 1");
  EXPECT_NE(HelperOutput("command=download&id=1").find("Capture file has changed"),
            std::string::npos);
  ASSERT_EQ(Message("command=delete&id=1"), "");
  EXPECT_EQ(Captures()[1]["freed"], 0);
  ASSERT_EQ(Message("command=setretention&maxbytes=1&minfree=0"), "");
  EXPECT_EQ(Answer("command=prune")["prune"]["removed"], 0);
  EXPECT_TRUE(std::filesystem::exists(out_.File("Velorantis.pcapng")));
  EXPECT_EQ(Captures()[0]["state"], "running");
  EXPECT_EQ(Message("command=stop&mac=" + kA), "");
}

// Each capture starts with the room its policy leaves: the floor holds
// while it runs (sampled every 100 ms), and no capture's own end removes
// anything it recorded.
TEST_F(RetentionTest, CapturesStartWithTheRoomThePolicyLeaves) {
  constexpr int64_t kMiB = 1 << 20;
  const std::string kB = "00:11:22:33:44:56";
  const auto freeBytes = [this] {
    struct statvfs space {};
    statvfs(out_.path().c_str(), &space);
    return static_cast<int64_t>(space.f_bavail * space.f_frsize);
  };
  sim_.WriteDevices(kA + " 3\n" + kB + " 3\n");
  RecreateDatabase(kTestStatusDb, "status.sql");
  ExecSql(kTestStatusDb, "INSERT INTO device VALUES (1, '" + kA + "', 'm'), (2, '" + kB +
                             "', 'm'); INSERT INTO capture VALUES (1, 0, 0, 0, 0, 0, 0), "
                             "(2, 0, 0, 0, 0, 0, 0);");
  const struct Case {
    const char* name;
    int64_t maxBytes;
    int minFree;
    int earlierPackets;  // a capture first, before the policy
    bool pinEarlier;
    std::vector<std::string> starts;  // "MAC SIZE_MIB", one after another
    std::vector<int64_t> limits;      // the limit each start gets; -1: refused
    std::vector<int> policyLimits;
  } cases[] = {
      {"no policy", 0, 0, 0, false, {kA + " 1"}, {kMiB}, {0}},
      {"quota only", 2 * kMiB, 0, 0, false, {kA + " 0"}, {2 * kMiB}, {1}},
      {"an older capture makes room", 2 * kMiB, 0, 200, false, {kA + " 0"}, {2 * kMiB}, {1}},
      {"own size under the room", 2 * kMiB, 0, 0, false, {kA + " 1"}, {kMiB}, {0}},
      {"floor only", 0, 70, 0, false, {kA + " 0"}, {0}, {1}},
      {"quota and floor", 2 * kMiB, 80, 0, false, {kA + " 0"}, {0}, {1}},
      {"pinned larger than the quota", kMiB + kMiB / 2, 0, 1800, true, {kA + " 0"}, {-1}, {0}},
      {"two devices", 3 * kMiB, 0, 0, false, {kA + " 1", kB + " 0"}, {kMiB, 2 * kMiB}, {0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecreateDatabase(kTestConfigDb, "config.sql");
    if (mount("tmpfs", out_.path().c_str(), "tmpfs", 0, "size=8m") != 0) {
      GTEST_SKIP() << "an 8 MiB tmpfs cannot be mounted here: " << strerror(errno);
    }
    if (c.earlierPackets > 0) Capture(out_.path(), c.earlierPackets);
    if (c.pinEarlier) {
      ASSERT_EQ(Message("command=pin&id=1&pinned=1"), "");
    }
    ASSERT_EQ(Message("command=setretention&maxbytes=" + std::to_string(c.maxBytes) +
                      "&minfree=" + std::to_string(c.minFree)),
              "");
    size_t entries = Captures().size();
    for (size_t i = 0; i < c.starts.size(); ++i) {
      const std::string mac = c.starts[i].substr(0, c.starts[i].find(' '));
      const std::string dir = out_.path() + "/" + std::to_string(i);
      std::filesystem::create_directory(dir);
      const nlohmann::json room = Answer("command=getretention")["retention"]["room"];
      const std::string message =
          Message("command=start&mac=" + mac + "&output=" + dir + "&loop=0&count=0&size=" +
                  c.starts[i].substr(c.starts[i].find(' ') + 1) + "&duration=0");
      if (c.limits[i] < 0) {
        EXPECT_EQ(message, "Not enough room under the storage policy");
        EXPECT_EQ(Captures().size(), entries);  // nothing recorded
        continue;
      }
      ASSERT_EQ(message, "");
      const nlohmann::json entry = Captures()[0];
      if (c.limits[i] > 0) {
        EXPECT_EQ(entry["limit"], c.limits[i]) << i;
      }
      EXPECT_GE(entry["limit"], kMiB) << i;
      EXPECT_EQ(entry["policylimit"], c.policyLimits[i]) << i;
      // As getretention said (it knows no floor: no folder is stored), and as
      // status says while the daemon shows the capture running.
      if (c.policyLimits[i] == 1) {
        EXPECT_TRUE(c.minFree > 0 || entry["limit"] == room) << i << ": " << room;
        ExecSql(kTestStatusDb, "UPDATE capture SET status = 1");
        EXPECT_EQ(Answer("command=status&mac=" + mac)["limit"]["bytes"], entry["limit"]) << i;
        ExecSql(kTestStatusDb, "UPDATE capture SET status = 0");
      }
      ++entries;
    }
    // Until every capture has ended by its size, the floor of the 8 MiB holds.
    int64_t leastFree = freeBytes();
    for (int round = 0; round < 200 && Captures()[0]["state"] == "running"; ++round) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      leastFree = std::min(leastFree, freeBytes());
    }
    EXPECT_GE(leastFree, 8 * kMiB * c.minFree / 100);
    // Only an older capture that is not pinned may have gone, for the new
    // one's room, and the audit trail has it as the policy's.
    const bool olderGoes = c.earlierPackets > 0 && !c.pinEarlier;
    if (olderGoes) {
      const nlohmann::json removal = Answer("command=audit&user=retention")["audit"][0];
      EXPECT_EQ(removal["request"]["id"], "1");
      EXPECT_GT(removal["bytes"], 0);
    }
    for (const auto& entry : Captures()) {
      EXPECT_NE(entry["state"], "running") << entry;
      if (!olderGoes || entry["id"] != 1) {
        EXPECT_NE(entry["state"], "deleted") << entry;
      }
      EXPECT_LE(entry["size"], entry["limit"] == 0 ? INT64_MAX : int64_t{entry["limit"]});
    }
    umount2(out_.path().c_str(), MNT_DETACH);
  }
  RemoveDatabase(kTestStatusDb);
}

}  // namespace
