// Time windows of a capture through the program, against editcap's -A/-B on
// the same file: the packets (times, lengths, interfaces) must be the same.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <vector>

#include "support/pcapng_file.h"
#include "support/run_program.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace {

constexpr uint64_t kStart = 1796718600;  // 2026-12-08T08:30:00Z
constexpr uint32_t kNameResolution = 4;
constexpr uint32_t kStatistics = 5;
constexpr uint32_t kSimplePacket = 3;

// 3,000 packets a millisecond apart from kStart, with the blocks a device
// writes around them: before them `pieces` name resolution blocks of
// `namesBytes`, kept apart by interface statistics.
PcapngFile OneInterface(bool bigEndian, uint32_t namesBytes = 4, int pieces = 1) {
  PcapngFile file;
  file.Section(bigEndian);
  file.Interface();
  for (int i = 0; i < pieces; ++i) {
    if (i > 0) file.Other(kStatistics, 12);
    file.Other(kNameResolution, namesBytes);
  }
  for (uint64_t i = 0; i < 3000; ++i) file.Packet(0, kStart * 1000000 + i * 1000, 60 + i % 64);
  file.Other(kSimplePacket, 4);
  file.Other(kStatistics, 12);
  return file;
}

// Nanoseconds and 2^-20 s interleaved, then a second section the other way
// round in the other byte order.
PcapngFile TwoSections() {
  PcapngFile file;
  for (bool bigEndian : {true, false}) {
    const uint64_t base = bigEndian ? kStart : kStart + 2;
    file.Section(bigEndian);
    file.Interface(9);
    file.Interface(0x94);
    for (uint64_t i = 0; i < 500; ++i) {
      file.Packet(0, (base * 1000 + i * 2) * 1000000 + 123);
      file.Packet(1, (base << 20) + ((i * 2 + 1) << 20) / 1000);
    }
  }
  return file;
}

// Each packet of the file as a line: its content's hash, length, interface
// and, with `times`, its time.
std::string Packets(const std::string& path, bool times) {
  std::vector<std::string> command = {VELORANTIS_TSHARK_PATH,
                                      "-r",
                                      path,
                                      "-o",
                                      "frame.generate_md5_hash:TRUE",
                                      "-T",
                                      "fields",
                                      "-e",
                                      "frame.md5_hash",
                                      "-e",
                                      "frame.len",
                                      "-e",
                                      "frame.interface_id"};
  if (times) command.insert(command.end(), {"-e", "frame.time_epoch"});
  const ProgramResult listed = RunHostProgram(command, {});
  EXPECT_EQ(listed.exitStatus, 0) << listed.err;
  return listed.out;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RecreateDatabase(kTestConfigDb, "config.sql");
    RecreateDatabase(kTestRecordsDb, "records.sql");
  }

  // The capture file `bytes` as ledger entry 1.
  void Capture(const std::string& bytes) {
    WriteFile(dir_.File("capture.pcapng"), bytes);
    ExecSql(kTestRecordsDb,
            "DELETE FROM captures; INSERT INTO captures (id, mac, file, loop, count, size, "
            "duration, inline, slicing, state, started, startedby, startedfrom) VALUES (1, "
            "'00:11:22:33:44:55', '" +
                dir_.File("capture.pcapng") + "', 0, 0, 0, 0, 1, 0, 'ended', 0, '-', '-')");
    RecordFileIdentities(kTestRecordsDb);
  }

  // The program's answer to the window: its header, and its body in `body`.
  std::string Window(const std::string& window, std::string& body, const char* method = "GET") {
    const std::string out =
        RunHelper("command=download&id=1" + window, {{"REQUEST_METHOD", method}}).out;
    const size_t split = out.find("\n\n");
    if (split == std::string::npos) return out;  // no answer: the program failed
    body = out.substr(split + 2);
    return out.substr(0, split + 1);
  }

  TempDir dir_;
};

TEST_F(WindowTest, PacketsAreEditcapsForEveryWindow) {
  std::string cut = OneInterface(false).bytes();
  cut.resize(cut.size() - 50);  // a full disk cut the last packet short
  PcapngFile far = OneInterface(false);
  far.Interface(0, INT64_MAX);  // whole seconds
  far.Interface(0, INT64_MIN);
  far.Packet(1, 5);                                 // past 2262
  far.Packet(2, (uint64_t{1} << 63) + kStart + 1);  // in the window once its offset is added
  struct Case {
    const char* name;
    std::string file;
    const char* from;  // as editcap and the program take it; null: open
    const char* to;
    size_t packets;
    bool exactTimes = true;  // editcap writes 2^-20 s clocks as it rounds them
  } const cases[] = {
      {"middle third", OneInterface(false).bytes(), "1796718601", "1796718602", 1000},
      {"big-endian", OneInterface(true).bytes(), "1796718601", "1796718602", 1000},
      {"from the first packet on", OneInterface(false).bytes(), "1796718600", nullptr, 3000},
      {"up to the last packet, which is left out", OneInterface(false).bytes(), nullptr,
       "1796718602.999", 2999},
      {"fractions", OneInterface(false).bytes(), "1796718600.0105", "1796718600.25", 239},
      {"two sections, three clocks", TwoSections().bytes(), "1796718600.5", "1796718602.5", 1000,
       false},
      {"a cut last block", cut, "1796718602", nullptr, 999},
      {"a block longer than the read buffer before the window",
       OneInterface(false, 3000000).bytes(), "1796718601", "1796718602", 1000},
      {"5 MiB of header blocks in 70,000 pieces before the window",
       OneInterface(true, 64, 70000).bytes(), "1796718601", "1796718602", 1000},
      {"times that overflow", far.bytes(), "1796718600.5", "1796718602", 1501},
  };
  for (const Case& c : cases) {
    Capture(c.file);
    std::string window;
    std::vector<std::string> bounds;
    for (const auto& [key, option, bound] :
         {std::tuple{"from", "-A", c.from}, {"to", "-B", c.to}}) {
      if (bound == nullptr) continue;
      window += std::string("&") + key + "=" + bound;
      bounds.insert(bounds.end(), {option, bound});
    }
    std::string body;
    const std::string header = Window(window, body);
    EXPECT_NE(header.find("Content-type: application/x-pcapng\n"), std::string::npos) << c.name;
    WriteFile(dir_.File("ours.pcapng"), body);
    std::vector<std::string> editcap = {VELORANTIS_EDITCAP_PATH};
    editcap.insert(editcap.end(), bounds.begin(), bounds.end());
    editcap.insert(editcap.end(), {dir_.File("capture.pcapng"), dir_.File("theirs.pcapng")});
    RunHostProgram(editcap, {});
    const std::string ours = Packets(dir_.File("ours.pcapng"), c.exactTimes);
    EXPECT_EQ(ours, Packets(dir_.File("theirs.pcapng"), c.exactTimes)) << c.name;
    EXPECT_EQ(std::count(ours.begin(), ours.end(), '\n'), c.packets) << c.name;
  }
}

// A window's name; a window without a packet, or one that is not a window,
// says so.
TEST_F(WindowTest, NamedOrRefused) {
  Capture(OneInterface(true).bytes());
  std::string seconds;
  EXPECT_EQ(
      Window("&from=1796718601.25&to=1796718602", seconds),
      "Content-type: application/x-pcapng\nContent-Disposition: attachment; "
      "filename=\"Velorantis-00-11-22-33-44-55-20261208T083001.25Z-20261208T083002Z.pcapng\"\n");
  std::string none;  // a HEAD request gets the same header alone
  EXPECT_EQ(Window("&from=1796718601.25&to=1796718602", none, "HEAD"),
            Window("&from=1796718601.25&to=1796718602", seconds));
  EXPECT_EQ(none, "");
  struct Case {
    const char* window;
    const char* status;
    const char* message;
  } const cases[] = {
      {"&from=1796718603", "416", "No packets in that time range"},
      {"&from=1796718601&to=1796718601", "416", "No packets in that time range"},
      {"&from=1796718602&to=1796718601", "400", "The time range ends before it starts"},
      {"&from=yesterday", "400", "Invalid from time"},
      {"&to=2026-02-30T00:00:00Z", "400", "Invalid to time"},
      {"&from=9603-12-08T08:30:00Z", "400", "Invalid from time"},  // past 2262
      {"&to=1796718601.1234567891", "400", "Invalid to time"},
  };
  for (const Case& c : cases) {
    std::string body;
    const std::string header = Window(c.window, body);
    EXPECT_EQ(header.substr(0, 11), std::string("Status: ") + c.status) << c.window;
    const nlohmann::json root = nlohmann::json::parse(body)["root"];
    EXPECT_EQ(root["message"], c.message) << c.window;
    if (std::string(c.status) == "416") {
      EXPECT_NE(body.find("\"first\": 1796718600.000000,\n\"last\": 1796718602.999000}}"),
                std::string::npos)
          << body;
    }
  }
}

}  // namespace
