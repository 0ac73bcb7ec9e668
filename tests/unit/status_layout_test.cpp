// The status command's answer byte for byte: the "info" and "capture" nodes,
// and the statistics nodes present only when their tables have samples.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "helper/status/stats_series.h"
#include "status_fixture.h"

namespace {

constexpr char kMac[] = "00:11:22:33:44:55";

// Device 7 with a capture row whose sizes are stored negative.
const char kDeviceRows[] =
    "INSERT INTO device (id, mac, model) VALUES (7, '00:11:22:33:44:55', 'Velorantis-B20');"
    "INSERT INTO device (id, mac, model) VALUES (8, '00:11:22:33:44:56', 'Velorantis-C30');"
    "INSERT INTO capture VALUES (7, -3, -1, -2, 268435456, 4096, 0);"
    "INSERT INTO capture VALUES (8, 1, 0, 1, 1, 1, 1);";

// One sample of each version; every column distinct, one counter negative.
// Device 8's samples must never show up in device 7's answer.
const char kV1Row[] =
    "INSERT INTO stats_v1 VALUES (7, 100, 1, 2, 3, 4, 5,"
    " 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,"
    " 31, 32, 33, 34, 35, -1, 37, 38, 39, 40, 41);"
    "INSERT INTO stats_v1 (device, date) VALUES (8, 100);";
const char kV2Row[] =
    "INSERT INTO stats_v2 VALUES (7, 100, 1, 2, 2000,"
    " 1000, 900, 800, 7, 5, 30, 20, 700, 600, 4, 3, 12, 13, 14, 15, 16);"
    "INSERT INTO stats_v2 (device, date) VALUES (8, 100);";

const std::string kInfo =
    "\"info\": {\n"
    "\"mac\": \"00:11:22:33:44:55\",\"model\": \"Velorantis-B20\"}";
const std::string kCapture =
    "\"capture\": {\n"
    "\"status\": -3,\n"
    "\"error\": -1,\n"
    "\"cacheused\": 18446744073709551614,\n"
    "\"maxcache\": 268435456,\n"
    "\"written\": 4096,\n"
    "\"dropped\": 0\n"
    "}";
const std::string kStatsV1 =
    "\"statsV1\": {\n"
    "\"date\": [100],\n"
    "\"softwaredropped\": [1],\n"
    "\"linkup\": [2],\n"
    "\"linkdown\": [3],\n"
    "\"bogusbytes\": [4],\n"
    "\"totalpackets\": [5],\n"
    "\"ports\": [\n"
    "{\n"
    "\"lessthan64\": [11],\n"
    "\"between64and1518\": [12],\n"
    "\"morethan1518\": [13],\n"
    "\"collision\": [14],\n"
    "\"crcerror\": [15],\n"
    "\"jabber\": [16],\n"
    "\"bytes\": [17],\n"
    "\"maximumbytes\": [18],\n"
    "\"totalvalid\": [19],\n"
    "\"totalinvalid\": [20],\n"
    "\"hardwaredropped\": [21]\n"
    "}\n"
    ",{\n"
    "\"lessthan64\": [31],\n"
    "\"between64and1518\": [32],\n"
    "\"morethan1518\": [33],\n"
    "\"collision\": [34],\n"
    "\"crcerror\": [35],\n"
    "\"jabber\": [18446744073709551615],\n"
    "\"bytes\": [37],\n"
    "\"maximumbytes\": [38],\n"
    "\"totalvalid\": [39],\n"
    "\"totalinvalid\": [40],\n"
    "\"hardwaredropped\": [41]\n"
    "}\n"
    "]\n"
    "}";
// Port 0: lessthan64 counter6, between counter8 - counter6, morethan
// counter2 + counter4 - counter8 - counter6, bytes the packet total; port 1
// likewise from counters 7, 9, 3, 5 and counter1 for bytes.
const std::string kStatsV2 =
    "\"statsV2\": {\n"
    "\"date\": [100],\n"
    "\"softwaredropped\": [1],\n"
    "\"bogusbytes\": [2],\n"
    "\"totalpackets\": [2000],\n"
    "\"ports\": [\n"
    "{\n"
    "\"lessthan64\": [30],\n"
    "\"between64and1518\": [670],\n"
    "\"morethan1518\": [177],\n"
    "\"bytes\": [2000],\n"
    "\"totalvalid\": [900],\n"
    "\"totalinvalid\": [7],\n"
    "\"hardwaredropped\": [4]\n"
    "}\n"
    ",{\n"
    "\"lessthan64\": [20],\n"
    "\"between64and1518\": [580],\n"
    "\"morethan1518\": [185],\n"
    "\"bytes\": [1000],\n"
    "\"totalvalid\": [800],\n"
    "\"totalinvalid\": [5],\n"
    "\"hardwaredropped\": [3]\n"
    "}\n"
    "]\n"
    "}";

class StatusLayoutTest : public StatusTest {
 protected:
  void SetUp() override {
    StatusTest::SetUp();
    Exec(kDeviceRows);
  }
};

TEST_F(StatusLayoutTest, NodesFollowTheResultOnlyWhenTheirTablesHaveSamples) {
  struct Case {
    const char* name;
    bool v1;
    bool v2;
    std::string expected;
  };
  const std::string head = kStatusSuccess + ",\n" + kInfo + ",\n" + kCapture;
  const Case cases[] = {
      {"both", true, true, head + ",\n" + kStatsV1 + ",\n" + kStatsV2},
      {"v1 only", true, false, head + ",\n" + kStatsV1},
      {"v2 only", false, true, head + ",\n" + kStatsV2},
      {"none", false, false, head},
  };
  for (const Case& c : cases) {
    Exec("DELETE FROM stats_v1; DELETE FROM stats_v2;");
    if (c.v1) Exec(kV1Row);
    if (c.v2) Exec(kV2Row);
    const std::string out = Status(std::string("mac=") + kMac);
    EXPECT_EQ(out, c.expected) << c.name;
    const nlohmann::json answer = ParseStatus(out);
    EXPECT_EQ(answer.contains("statsV1"), c.v1) << c.name;
    EXPECT_EQ(answer.contains("statsV2"), c.v2) << c.name;
    EXPECT_EQ(answer["capture"]["cacheused"], UINT64_MAX - 1) << c.name;
  }
}

TEST_F(StatusLayoutTest, EveryArrayHoldsOneValuePerSampleOldestFirst) {
  Exec(kV1Row);
  Exec(kV2Row);
  Exec(
      "INSERT INTO stats_v1 (device, date, linkup, p2_hardwaredropped) VALUES (7, 90, 9, 99);"
      "INSERT INTO stats_v2 (device, date, counter1, counter11) VALUES (7, 90, 9, 99);");
  const std::string out = Status(std::string("mac=") + kMac + "&limit=-1");
  EXPECT_NE(out.find("\"statsV1\": {\n\"date\": [90,100],\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\"linkup\": [9,2],\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\"hardwaredropped\": [99,41]\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\"statsV2\": {\n\"date\": [90,100],\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\"bytes\": [9,1000],\n"), std::string::npos) << out;
  const nlohmann::json answer = ParseStatus(out);
  for (const char* node : {"statsV1", "statsV2"}) {
    for (const auto& [key, values] : answer[node].items()) {
      if (key != "ports") {
        EXPECT_EQ(values.size(), 2u) << node << " " << key;
      }
    }
    ASSERT_EQ(answer[node]["ports"].size(), 2u) << node;
    for (const auto& port : answer[node]["ports"]) {
      for (const auto& [key, values] : port.items()) {
        EXPECT_EQ(values.size(), 2u) << node << " " << key;
      }
    }
  }
}

TEST_F(StatusLayoutTest, VersionTwoSeriesWrapAroundBelowZero) {
  struct Case {
    const char* counters;  // counter1 to counter11
    std::vector<uint64_t> port0;
    std::vector<uint64_t> port1;
  };
  // Series per port: lessthan64, between64and1518, morethan1518, bytes,
  // totalvalid, totalinvalid, hardwaredropped. Packet total: 2000.
  const Case cases[] = {
      {"1000, 900, 800, 7, 5, 30, 20, 700, 600, 4, 3",
       {30, 670, 177, 2000, 900, 7, 4},
       {20, 580, 185, 1000, 800, 5, 3}},
      // counter8 below counter6, and the morethan sums below zero.
      {"0, 0, 0, 0, 0, 50, 40, 10, 15, 0, 0",
       {50, UINT64_MAX - 39, UINT64_MAX - 59, 2000, 0, 0, 0},
       {40, UINT64_MAX - 24, UINT64_MAX - 54, 0, 0, 0, 0}},
      // Stored negative counters are their unsigned 64-bit values, and sums
      // wrap back through zero.
      {"-1, -1, 1, 1, -1, 0, 0, 0, 0, -2, 5",
       {0, 0, 0, 2000, UINT64_MAX, 1, UINT64_MAX - 1},
       {0, 0, 0, UINT64_MAX, 1, UINT64_MAX, 5}},
  };
  const char* keys[] = {"lessthan64", "between64and1518", "morethan1518",   "bytes",
                        "totalvalid", "totalinvalid",     "hardwaredropped"};
  for (const Case& c : cases) {
    Exec("DELETE FROM stats_v2;");
    Exec(std::string("INSERT INTO stats_v2 (device, date, totalpackets, counter1, counter2,"
                     " counter3, counter4, counter5, counter6, counter7, counter8, counter9,"
                     " counter10, counter11) VALUES (7, 5, 2000, ") +
         c.counters + ");");
    const nlohmann::json answer = ParseStatus(Status(std::string("mac=") + kMac));
    const std::vector<uint64_t>* expected[] = {&c.port0, &c.port1};
    for (int port = 0; port < 2; ++port) {
      for (size_t k = 0; k < std::size(keys); ++k) {
        EXPECT_EQ(answer["statsV2"]["ports"][port][keys[k]],
                  std::vector<uint64_t>{(*expected[port])[k]})
            << c.counters << " port " << port << " " << keys[k];
      }
    }
  }
}

TEST_F(StatusLayoutTest, TextValuesAreJsonStrings) {
  struct Case {
    const char* name;
    const char* insert;  // the device row; id 9 has a capture row
    const char* query;
    std::string info;
  };
  const Case cases[] = {
      {"null model", "INSERT INTO device VALUES (9, 'aa:bb:cc:dd:ee:ff', NULL)",
       "mac=aa:bb:cc:dd:ee:ff",
       "\"info\": {\n\"mac\": \"aa:bb:cc:dd:ee:ff\",\"model\": \"Unknown\"}"},
      {"quotes and backslashes", "INSERT INTO device VALUES (9, 'a\"b\\c', 'x\"y\\z')",
       "mac=a%22b%5Cc", "\"info\": {\n\"mac\": \"a\\\"b\\\\c\",\"model\": \"x\\\"y\\\\z\"}"},
      {"control bytes", "INSERT INTO device VALUES (9, 'tab' || char(9), 'nl' || char(10))",
       "mac=tab%09", "\"info\": {\n\"mac\": \"tab\\t\",\"model\": \"nl\\n\"}"},
      {"empty mac", "INSERT INTO device VALUES (9, '', '')",
       "mac=", "\"info\": {\n\"mac\": \"\",\"model\": \"\"}"},
  };
  for (const Case& c : cases) {
    Exec(std::string("DELETE FROM device WHERE id = 9; DELETE FROM capture WHERE device = 9;") +
         c.insert + "; INSERT INTO capture VALUES (9, 0, 0, 0, 0, 0, 0);");
    const std::string out = Status(c.query);
    EXPECT_EQ(out, kStatusSuccess + ",\n" + c.info +
                       ",\n\"capture\": {\n\"status\": 0,\n\"error\": 0,\n\"cacheused\": 0,\n"
                       "\"maxcache\": 0,\n\"written\": 0,\n\"dropped\": 0\n}")
        << c.name;
    ParseStatus(out);
  }
}

TEST_F(StatusLayoutTest, NullCountersReadAsZeroAndTheFirstCaptureRowCounts) {
  Exec(
      "DROP INDEX capture_device;"
      "INSERT INTO capture VALUES (7, 5, 5, 5, 5, 5, 5);"
      "INSERT INTO device VALUES (10, 'null:row', 'M');"
      "INSERT INTO capture (device) VALUES (10);"
      "INSERT INTO stats_v1 (device, date) VALUES (10, 1);");
  const nlohmann::json first = ParseStatus(Status(std::string("mac=") + kMac));
  EXPECT_EQ(first["capture"]["status"], -3);
  const nlohmann::json nulls = ParseStatus(Status("mac=null:row"));
  for (const char* key : {"status", "error", "cacheused", "maxcache", "written", "dropped"}) {
    EXPECT_EQ(nulls["capture"][key], 0) << key;
  }
  EXPECT_EQ(nulls["statsV1"]["ports"][1]["jabber"], std::vector<uint64_t>{0});
}

TEST(AppendSeriesValue, JoinsWithCommasOnlyInBoundedBlocks) {
  struct Case {
    std::vector<uint64_t> values;
    std::string text;
  };
  std::vector<uint64_t> many(20000, UINT64_MAX);  // several full blocks
  std::string manyText = "18446744073709551615";
  for (size_t i = 1; i < many.size(); ++i) manyText += ",18446744073709551615";
  const Case cases[] = {
      {{}, ""},
      {{0}, "0"},
      {{7, 10, 100}, "7,10,100"},
      {{UINT64_MAX, 0, 9223372036854775808u}, "18446744073709551615,0,9223372036854775808"},
      {many, manyText},
  };
  for (const Case& c : cases) {
    SeriesText series;
    for (uint64_t value : c.values) AppendSeriesValue(series, value);
    std::string joined;
    for (const std::string& block : series.blocks) {
      EXPECT_LE(block.capacity(), kSeriesBlockSize);
      joined += block;
    }
    EXPECT_EQ(joined, c.text);
    EXPECT_EQ(series.empty, c.values.empty());
  }
}

}  // namespace
