// The metrics command in process: exact 64-bit values, escaped labels, 503s.
#include <gtest/gtest.h>

#include <string>

#include "helper/frontend/memory_budget.h"
#include "helper/metrics/exposition.h"
#include "helper/metrics/metrics_command.h"
#include "support/command_answer.h"
#include "support/sqlite_file.h"
#include "support/temp_dir.h"

namespace {

TEST(MetricsTest, ValuesAreExactAndLabelsEscaped) {
  TempDir dir;
  const std::string db = dir.File("velorantis.db");
  CreateFromSchema(db, "status.sql");
  ExecSql(db,
          "INSERT INTO device VALUES (1, 'aa:bb:cc:dd:ee:ff', 'M\"1\\' || char(10) || 'x');"
          "INSERT INTO device VALUES (2, '00:11:22:33:44:55', NULL);"
          "INSERT INTO device VALUES (-1, 'ff:ff:ff:ff:ff:ff', 'gone');"
          "INSERT INTO capture VALUES (1, 1, -2, 5, 10, 9007199254740993, -1);"
          "INSERT INTO stats_v1 (device, date, totalpackets, p2_crcerror, p1_lessthan64) VALUES"
          " (1, 100, 7, 3, 1), (1, 200, 9007199254740993, 4, 2), (2, 150, 1, 0, 0);"
          "INSERT INTO stats_v2 (device, date, counter6, counter8) VALUES (1, 300, 5, 2);");
  ResponseBody body;
  program_paths.statusDb = db.c_str();
  ASSERT_EQ(AnswerOf("metrics", RequestOfQuery(""), body), 0);
  program_paths = {};
  const std::string& text = body.text;
  const std::string one = "mac=\"aa:bb:cc:dd:ee:ff\",model=\"M\\\"1\\\\\\nx\"";
  const std::string two = "mac=\"00:11:22:33:44:55\",model=\"Unknown\"";
  const std::string expected[] = {
      "velorantis_capture_running{" + one + "} 1\n",
      "velorantis_capture_error{" + one + "} -2\n",
      "velorantis_capture_written_bytes_total{" + one + "} 9007199254740993\n",
      "velorantis_capture_dropped_packets_total{" + one + "} 18446744073709551615\n",
      "velorantis_sample_timestamp_seconds{" + one + "} 300\n",
      "velorantis_sample_timestamp_seconds{" + two + "} 150\n",
      "velorantis_packets_total{" + one + ",version=\"1\"} 9007199254740993\n",
      "velorantis_port_crc_errors_total{" + one + ",version=\"1\",port=\"2\"} 4\n",
      "velorantis_port_packets_by_size_total{" + one +
          ",version=\"1\",port=\"1\",size=\"lessthan64\"} 2\n",
      "velorantis_port_packets_by_size_total{" + one +
          ",version=\"2\",port=\"1\",size=\"between64and1518\"} 18446744073709551613\n",
  };
  for (const std::string& line : expected) EXPECT_NE(text.find(line), std::string::npos) << line;
  // No capture row, no capture figures; a negative id is no device.
  EXPECT_EQ(text.find("velorantis_capture_running{" + two), std::string::npos);
  EXPECT_EQ(text.find("ff:ff:ff:ff:ff:ff"), std::string::npos);
  // Version 2 samples carry no byte count: their "bytes" series is packets.
  EXPECT_EQ(text.find("velorantis_port_bytes_total{" + one + ",version=\"2\""), std::string::npos);
}

// Invalid UTF-8 becomes U+FFFD, one per maximal invalid subsequence.
TEST(MetricsTest, LabelValuesAreValidUtf8) {
  const std::string r = "\xEF\xBF\xBD";
  const std::pair<std::string, std::string> cases[] = {
      {"\xC3\xA9\xE2\x82\xAC\xF4\x8F\xBF\xBF", "\xC3\xA9\xE2\x82\xAC\xF4\x8F\xBF\xBF"},
      {"M\xFF\"", "M" + r + "\\\""},
      {"\x80\xBF\xC0\xAF\xC1\xBF\xF5\x80", r + r + r + r + r + r + r + r},
      {"\xE2\x82\x41\xF0\x9F\x98", r + "A" + r},                    // cut short: one each
      {"\xE0\x80\x80\xF0\x80\x80\x80", r + r + r + r + r + r + r},  // overlong
      {"\xED\xA0\x80\xED\x9F\xBF", r + r + r + "\xED\x9F\xBF"},     // surrogate
      {"\xF4\x90\x80\x80\xC2", r + r + r + r + r},                  // past U+10FFFF
  };
  for (const auto& [value, expected] : cases) {
    std::string out;
    AppendLabelValue(out, value);
    EXPECT_EQ(out, expected) << testing::PrintToString(value);
  }
}

// An answer larger than the request's budget is refused, not sent.
TEST(MetricsTest, AnswerPastTheBudgetIs503) {
  TempDir dir;
  const std::string db = dir.File("velorantis.db");
  CreateFromSchema(db, "status.sql");
  ExecSql(db,
          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000)"
          " INSERT INTO device SELECT i, printf('00:00:00:00:%04x', i), 'm' FROM n;"
          "INSERT INTO stats_v1 (device, date) SELECT id, 1 FROM device;");
  program_paths.statusDb = db.c_str();
  ResponseBody whole, refused;
  ASSERT_EQ(AnswerOf("metrics", RequestOfQuery(""), whole), 0);
  SetAnswerBudget(whole.text.size() / 2);
  EXPECT_EQ(AnswerOf("metrics", RequestOfQuery(""), refused), -1);
  SetAnswerBudget(kMaxAnswerBudget);
  program_paths = {};
  EXPECT_EQ(refused.text, "Not enough memory\n");
  EXPECT_STREQ(refused.status, "503 Service Unavailable");
}

TEST(MetricsTest, FailuresAnswer503WithTheReason) {
  TempDir dir;
  const std::string db = dir.File("velorantis.db");
  const std::pair<const char*, const char*> cases[] = {
      {"DROP TABLE device", "Failed to get devices\n"},
      {"INSERT INTO device VALUES (1, 'a', 'm'); DROP TABLE stats_v2",
       "Failed to get device v2 statistics\n"},
      {"INSERT INTO device VALUES (1, 'a', 'm'); DROP TABLE capture",
       "Failed to get device capture status\n"},
  };
  program_paths.statusDb = db.c_str();
  for (const auto& [sql, message] : cases) {
    RecreateDatabase(db, "status.sql");
    ExecSql(db, sql);
    ResponseBody body;
    EXPECT_EQ(AnswerOf("metrics", RequestOfQuery(""), body), -1) << sql;
    EXPECT_EQ(body.text, message);
    EXPECT_STREQ(body.status, "503 Service Unavailable");
    EXPECT_STREQ(body.contentType, "text/plain; charset=utf-8");
  }
  program_paths = {};
}

}  // namespace
