// Extractions through the program against the tools' pipeline on the same
// captures: mergecap, then editcap -A/-B, then tcpdump -r -w with the same
// filter (per link type, which tcpdump reads one at a time) must give the
// same packets: content, length and time.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <map>
#include <string>
#include <vector>

#include "support/pcapng_file.h"
#include "support/run_program.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"
#include "support/test_paths.h"

namespace {

constexpr uint64_t kStart = 1796718600;  // 2026-12-08T08:30:00Z
constexpr uint16_t kEthernet = 1;
constexpr uint16_t kRawIp = 101;
constexpr uint16_t kUser0 = 147;  // no filter compiles for it

// The bytes of an IPv4 packet from 10.1.0.`source` to 10.2.0.`target`, TCP
// or UDP to `port`, behind an Ethernet header (with an 802.1Q tag when
// `vlan`) unless `raw`.
std::string Frame(int source, int target, bool tcp, uint16_t port, bool vlan, bool raw) {
  std::string frame;
  if (!raw) {
    frame.assign(12, '\x02');
    if (vlan) frame += std::string("\x81\x00\x00\x07", 4);
    frame += std::string("\x08\x00", 2);
  }
  const std::string ip = {'\x45', 0, 0, 40, 0, 0, 0, 0, 64, tcp ? '\x06' : '\x11', 0, 0,
                          10, 1, 0, static_cast<char>(source), 10, 2, 0,
                          static_cast<char>(target)};
  frame += ip;
  frame += {'\x30', '\x39', static_cast<char>(port >> 8), static_cast<char>(port & 0xff)};
  frame.append(16, '\0');
  return frame;
}

struct Capture {
  uint64_t start;  // seconds after kStart of its first packet
  bool bigEndian = false;
  uint16_t linkType = kEthernet;
};

// 200 packets 10 ms apart, of varied hosts, protocols, ports and tags.
std::string CaptureBytes(const Capture& capture) {
  PcapngFile file;
  file.Section(capture.bigEndian);
  file.Interface(9, 0, capture.linkType);
  const uint16_t ports[] = {443, 53, 80};
  for (int i = 0; i < 200; ++i) {
    const uint64_t nanos = (kStart + capture.start) * 1000000000 + i * 10000000ull;
    file.Packet(0, nanos,
                Frame(i % 4, i % 3, i % 2 == 0, ports[i % 3], i % 5 == 0,
                      capture.linkType != kEthernet));
  }
  return file.bytes();
}

// Each packet of the file as a line: its content's hash, length and time.
std::string Packets(const std::string& path) {
  const ProgramResult listed = RunHostProgram(
      {VELORANTIS_TSHARK_PATH, "-r", path, "-o", "frame.generate_md5_hash:TRUE", "-T", "fields",
       "-e", "frame.md5_hash", "-e", "frame.len", "-e", "frame.time_epoch"},
      {});
  EXPECT_EQ(listed.exitStatus, 0) << listed.err;
  return listed.out;
}

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RecreateDatabase(kTestConfigDb, "config.sql");
    RecreateDatabase(kTestRecordsDb, "records.sql");
  }

  // The captures as ledger entries of one device, their files written.
  void Record(const std::vector<Capture>& captures) {
    std::string sql = "DELETE FROM captures;";
    for (size_t i = 0; i < captures.size(); ++i) {
      const std::string path = dir_.File("c" + std::to_string(i) + ".pcapng");
      WriteFile(path, CaptureBytes(captures[i]));
      sql += "INSERT INTO captures (mac, file, loop, count, size, duration, inline, slicing, "
             "state, started, startedby, startedfrom) VALUES ('00:11:22:33:44:55', '" +
             path + "', 0, 0, 0, 0, 1, 0, 'ended', 0, '-', '-');";
    }
    ExecSql(kTestRecordsDb, sql);
    RecordFileIdentities(kTestRecordsDb);
  }

  // The tools' packets: per link type mergecap, editcap and tcpdump, then
  // the link types' results merged.
  std::string ToolsPackets(const std::vector<Capture>& captures, const std::string& from,
                           const std::string& to, const std::string& filter) {
    std::map<uint16_t, std::vector<std::string>> byLink;
    for (size_t i = 0; i < captures.size(); ++i) {
      byLink[captures[i].linkType].push_back(dir_.File("c" + std::to_string(i) + ".pcapng"));
    }
    std::vector<std::string> merge = {VELORANTIS_MERGECAP_PATH, "-F", "pcapng", "-w",
                                      dir_.File("theirs.pcapng")};
    for (const auto& [link, files] : byLink) {
      const std::string stem = dir_.File("link" + std::to_string(link));
      std::vector<std::string> mergecap = {VELORANTIS_MERGECAP_PATH, "-F", "pcapng", "-w",
                                           stem + ".pcapng"};
      mergecap.insert(mergecap.end(), files.begin(), files.end());
      EXPECT_EQ(RunHostProgram(mergecap, {}).exitStatus, 0);
      std::vector<std::string> editcap = {VELORANTIS_EDITCAP_PATH};
      if (!from.empty()) editcap.insert(editcap.end(), {"-A", from});
      if (!to.empty()) editcap.insert(editcap.end(), {"-B", to});
      editcap.insert(editcap.end(), {stem + ".pcapng", stem + "-window.pcapng"});
      EXPECT_EQ(RunHostProgram(editcap, {}).exitStatus, 0);
      std::vector<std::string> tcpdump = {VELORANTIS_TCPDUMP_PATH, "--time-stamp-precision=nano",
                                          "-r", stem + "-window.pcapng", "-w", stem + ".pcap"};
      if (!filter.empty()) tcpdump.push_back(filter);
      // A link type the filter cannot be compiled for gives no packets.
      if (RunHostProgram(tcpdump, {}).exitStatus == 0) merge.push_back(stem + ".pcap");
    }
    EXPECT_EQ(RunHostProgram(merge, {}).exitStatus, 0);
    return Packets(dir_.File("theirs.pcapng"));
  }

  TempDir dir_;
};

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (isalnum(static_cast<unsigned char>(c))) {
      out += c;
    } else {
      char hex[4];
      snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
      out += hex;
    }
  }
  return out;
}

TEST_F(ExtractTest, PacketsAreThoseOfTheToolsPipeline) {
  const std::vector<Capture> three = {{0}, {5}, {20}};  // gaps between them
  struct Case {
    const char* name;
    std::vector<Capture> captures;
    std::string from;  // "": open
    std::string to;
    std::string filter;
    const char* status;  // "200", or the refusal's
    int leftOut = 0;
  } const cases[] = {
      {"inside one capture", {{0}}, "1796718600.5", "1796718601.5", "host 10.1.0.3", "200"},
      {"across two with a gap", {{0}, {5}}, "1796718601", "1796718606", "tcp port 443", "200"},
      {"across three, open ends", three, "", "", "udp", "200"},
      {"net and not", three, "1796718601", "1796718621", "net 10.2.0.0/24 and not host 10.2.0.1",
       "200"},
      {"and, or, not", three, "1796718600", "1796718625",
       "(tcp and port 443) or (udp and not host 10.1.0.2)", "200"},
      {"VLAN", {{0}, {5}}, "", "", "vlan and tcp", "200"},
      {"no filter", {{0}, {5}}, "1796718601.5", "1796718605.5", "", "200"},
      {"big-endian", {{0, true}, {5}, {20, true}}, "1796718600.25", "1796718621", "port 53",
       "200"},
      {"two link types", {{0}, {3, false, kRawIp}}, "", "", "src host 10.1.0.1", "200"},
      {"a link type the filter does not fit", {{0}, {3, true, kUser0}}, "", "", "port 80", "200",
       1},
      {"an empty match", {{0}, {5}}, "", "", "host 10.7.7.7", "200"},
      {"a filter that does not compile", {{0}}, "", "", "port 443 and", "400"},
      {"a window before every capture", {{0}, {5}}, "1796718500", "1796718599", "", "416"},
  };
  for (const Case& c : cases) {
    if (!VELORANTIS_PACKET_FILTERS && !c.filter.empty()) continue;  // a build without libpcap
    Record(c.captures);
    std::string query = "command=extract&mac=00%3A11%3A22%3A33%3A44%3A55&filter=" + Escaped(c.filter);
    if (!c.from.empty()) query += "&from=" + c.from;
    if (!c.to.empty()) query += "&to=" + c.to;
    const std::string out = RunHelper(query).out;
    const size_t split = out.find("\n\n");
    ASSERT_NE(split, std::string::npos) << c.name;
    const std::string header = out.substr(0, split + 1);
    const std::string body = out.substr(split + 2);
    if (std::string(c.status) != "200") {
      EXPECT_EQ(header.substr(0, 11), std::string("Status: ") + c.status) << c.name;
      const std::string message = nlohmann::json::parse(body)["root"]["message"];
      if (std::string(c.status) == "400") {
        // libpcap's own account, as tcpdump gives it.
        const std::string detail = message.substr(message.find(": ") + 2);
        EXPECT_EQ(message.substr(0, 16), "Invalid filter: ") << c.name;
        const ProgramResult tcpdump =
            RunHostProgram({VELORANTIS_TCPDUMP_PATH, "-d", c.filter}, {});
        EXPECT_NE(tcpdump.err.find(detail), std::string::npos) << tcpdump.err;
      } else {
        EXPECT_NE(body.find("\"first\": 1796718600.000000,\n\"last\": 1796718606.990000}}"),
                  std::string::npos)
            << body;
      }
      continue;
    }
    EXPECT_NE(header.find("X-Interfaces-Left-Out: " + std::to_string(c.leftOut) + "\n"),
              std::string::npos)
        << c.name << header;
    WriteFile(dir_.File("ours.pcapng"), body);
    const std::string ours = Packets(dir_.File("ours.pcapng"));
    EXPECT_EQ(ours, ToolsPackets(c.captures, c.from, c.to, c.filter)) << c.name;
    EXPECT_EQ(ours.empty(), std::string(c.name) == "an empty match") << c.name;
  }
}

}  // namespace
