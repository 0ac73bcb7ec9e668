// Configuration rows and status databases filled with random values from
// fixed seeds: every answer is valid JSON holding the values as stored. Each
// generator table says what the answer must show for each of its rows, and
// every row must have come up before the test ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "helper/config/config_commands.h"
#include "status_fixture.h"
#include "support/command_answer.h"

namespace {

using Json = nlohmann::json;

constexpr uint64_t kSeeds[] = {1, 2, 3, 5, 8};
constexpr int kRoundsPerSeed = 24;

// Stored bytes and what their JSON string parses back to.
struct Text {
  std::string stored;
  std::string parsed;
};

// Text is made of these pieces. The lone bytes that are no UTF-8 can neither
// start a sequence nor continue the piece before them, so pieces read the
// same in any order.
const Text kPieces[] = {
    {"a", "a"},
    {" ", " "},
    {"\"", "\""},
    {"\\", "\\"},
    {"\n", "\n"},
    {"\t", "\t"},
    {"\x01", "\x01"},
    {"\x7f", "\x7f"},
    {"\xc3\xa9", "\xc3\xa9"},
    {"\xe2\x82\xac", "\xe2\x82\xac"},
    {"\xf0\x9f\x93\xa1", "\xf0\x9f\x93\xa1"},
    {"\xff", "\xc3\xbf"},  // a byte that is no UTF-8: the code point of its value
    {"\x80", "\xc2\x80"},
    {"\xc0", "\xc3\x80"},
    {std::string(1, '\0'), ""}  // read as C text: the value ends here
};
constexpr size_t kPieceCounts[] = {0, 1, 3, 9};

// Integers as SQL literals and as read back as 64-bit integers.
struct Number {
  const char* sql;
  int64_t read;
};
const Number kNumbers[] = {{"0", 0},
                           {"-1", -1},
                           {"9223372036854775807", INT64_MAX},
                           {"-9223372036854775808", INT64_MIN},
                           {"4294967296", int64_t{1} << 32},
                           {"-2147483649", -2147483649},
                           {"NULL", 0},
                           {"'text'", 0},
                           {"2.75", 2},
                           {"-2.75", -2}};

// A configuration column's stored literals and what "config" shows for each.
struct ConfigColumn {
  const char* name;
  std::vector<Number> values;
};
const ConfigColumn kConfigColumns[] = {
    {"loop", {{"0", 0}, {"1", 1}, {"7", 1}, {"-1", 1}, {"4294967296", 0}, {"NULL", 0}}},
    {"count",
     {{"5", 5},
      {"-1", -1},
      {"4294967295", -1},
      {"2147483648", INT32_MIN},
      {"-2147483648", INT32_MIN},
      {"NULL", 0}}},
    {"size",  // bytes, shown in MiB
     {{"1572864", 1},
      {"1048575", 0},
      {"-1", 17592186044415},
      {"9223372036854775807", 8796093022207},
      {"NULL", 0}}},
    {"duration",
     {{"60", 60},
      {"4294967295", 4294967295},
      {"4294967296", 0},
      {"4294967299", 3},
      {"-1", 4294967295},
      {"NULL", 0}}},
    {"inline", {{"0", 0}, {"1", 1}, {"-1", 1}, {"4294967296", 0}, {"NULL", 0}}},
    {"slicing",
     {{"0", 0}, {"128", 128}, {"65535", 65535}, {"65536", 0}, {"65541", 5}, {"-1", 65535}}}};

// Picks table rows at random and remembers which came up.
class Generator {
 public:
  explicit Generator(uint64_t seed) : random_(seed) {}

  template <typename Row>
  const Row& Pick(const std::vector<Row>& rows) {
    return Note(rows[random_() % rows.size()]);
  }
  template <typename Row, size_t N>
  const Row& Pick(const Row (&rows)[N]) {
    return Note(rows[random_() % N]);
  }
  // True one time in `n`; a named case then counts as come up.
  bool OneIn(unsigned n, const char* what = nullptr) {
    const bool yes = random_() % n == 0;
    if (yes && what != nullptr) Saw(what);
    return yes;
  }
  size_t Below(size_t n) { return random_() % n; }
  int64_t Any() { return static_cast<int64_t>(random_()); }

  Text MakeText(bool zeroBytes) {
    Text text;
    bool ended = false;
    for (size_t n = Pick(kPieceCounts); n > 0; --n) {
      const Text& piece = Pick(kPieces);
      if (piece.stored[0] == '\0' && !zeroBytes) continue;
      text.stored += piece.stored;
      ended = ended || piece.stored[0] == '\0';
      if (!ended) text.parsed += piece.parsed;
    }
    return text;
  }

  static std::set<const void*>& Used() {
    static std::set<const void*> used;
    return used;
  }
  static std::set<std::string>& Seen() {
    static std::set<std::string> seen;
    return seen;
  }
  static void Saw(const char* what) { Seen().insert(what); }

 private:
  template <typename Row>
  const Row& Note(const Row& row) {
    Used().insert(&row);
    return row;
  }

  std::mt19937_64 random_;
};

template <typename Row>
void ExpectAllUsed(const Row* rows, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    EXPECT_TRUE(Generator::Used().contains(&rows[i])) << "row " << i << " never came up";
  }
}

void ExpectSeen(std::initializer_list<const char*> cases) {
  for (const char* what : cases) EXPECT_TRUE(Generator::Seen().contains(what)) << what;
}

constexpr char kHex[] = "0123456789ABCDEF";

std::string HexLiteral(const std::string& bytes) {
  std::string sql = "CAST(X'";
  for (unsigned char c : bytes) sql += {kHex[c >> 4], kHex[c & 15]};
  return sql + "' AS TEXT)";
}

std::string PercentEncoded(const std::string& bytes) {
  std::string query;
  for (unsigned char c : bytes) query += {'%', kHex[c >> 4], kHex[c & 15]};
  return query;
}

TEST(RandomDatabase, ConfigurationRowsShowAsStored) {
  TempDir dir;
  const std::string db = dir.File("config.db");
  CreateFromSchema(db, "config.sql");
  for (uint64_t seed : kSeeds) {
    Generator generate(seed);
    for (int round = 0; round < kRoundsPerSeed; ++round) {
      // Without the row, the defaults.
      Json expected = {{"destination", ""}, {"loop", 0},   {"count", 0},  {"size", 0},
                       {"duration", 0},     {"inline", 1}, {"slicing", 0}};
      std::string sql = "PRAGMA synchronous = OFF; DELETE FROM config;";
      if (!generate.OneIn(8, "no row")) {
        const Text destination = generate.MakeText(true);
        const bool null = generate.OneIn(6, "null destination");
        expected["destination"] = null ? "" : destination.parsed;
        std::string names = "mac, destination";
        std::string values = "'default', " + (null ? "NULL" : HexLiteral(destination.stored));
        for (const ConfigColumn& column : kConfigColumns) {
          const Number& value = generate.Pick(column.values);
          names += std::string(", ") + column.name;
          values += std::string(", ") + value.sql;
          expected[column.name] = value.read;
        }
        sql += "INSERT INTO config (" + names + ") VALUES (" + values + ");";
      }
      ExecSql(db, sql);
      program_paths.configDb = db.c_str();
      ResponseBody body;
      AnswerOf("getconfig", RequestOfQuery("mac=default"), body);
      const std::string& out = body.text;
      const Json answer = ParseStatus(out);
      EXPECT_EQ(answer["result"], 0) << out;
      EXPECT_EQ(answer["config"], expected) << "seed " << seed << " round " << round;
    }
  }
  ExpectAllUsed(kPieces, std::size(kPieces));
  ExpectSeen({"no row", "null destination"});
  for (const ConfigColumn& column : kConfigColumns) {
    ExpectAllUsed(column.values.data(), column.values.size());
  }
}

// What a status request asks for, and the value the command reads from it.
struct Param {
  const char* query;
  int64_t value;
};
const Param kFroms[] = {{"", 0},
                        {"&from=0", 0},
                        {"&from=-5", -5},  // bound with the bits it has
                        {"&from=18446744073709551615", -1},
                        {"&from=9223372036854775808", INT64_MIN},
                        {"&from=x", 0}};
const Param kLimits[] = {{"", 1},         {"&limit=-1", -1}, {"&limit=0", 0},
                         {"&limit=2", 2}, {"&limit=-7", -7}, {"&limit=abc", 0}};
const int64_t kIds[] = {0, 1, 7, INT64_MAX, -5};
const int kDeviceCounts[] = {1, 2, 3};
const int kSampleCounts[] = {0, 1, 2, 4};
const char* const kCaptureKeys[] = {"status",   "error",   "cacheused",
                                    "maxcache", "written", "dropped"};
const char* const kStatsTables[] = {"stats_v1", "stats_v2"};
const char* const kStatsNodes[] = {"statsV1", "statsV2"};

struct Sample {
  int64_t date;
  std::vector<int64_t> counters;  // as read, in the table's column order
};

struct Device {
  int64_t id;
  Text mac;
  std::optional<Text> model;
  std::vector<int64_t> capture;  // empty: no capture row
  std::vector<Sample> samples[2];
};

// The counter columns of a statistics table: all but device and date.
std::vector<std::string> CounterColumns(const std::string& db, const char* table) {
  std::istringstream names(
      QueryText(db, std::string("SELECT group_concat(name, ' ') FROM pragma_table_info('") + table +
                        "') WHERE name NOT IN ('device', 'date')"));
  std::vector<std::string> columns;
  for (std::string name; names >> name;) columns.push_back(name);
  return columns;
}

// An INSERT of `count` random numbers after `key`; their values as read go
// to `read`.
std::string InsertNumbers(Generator& generate, const std::string& table, const std::string& key,
                          size_t count, std::vector<int64_t>& read) {
  std::string sql = "INSERT INTO " + table + " VALUES (" + key;
  for (size_t i = 0; i < count; ++i) {
    const Number& number = generate.Pick(kNumbers);
    read.push_back(number.read);
    sql += std::string(", ") + number.sql;
  }
  return sql + ");";
}

// A device with random rows; the SQL that stores them is added to `sql`.
Device MakeDevice(Generator& generate, int64_t id, const std::string& macPrefix,
                  const std::vector<std::string> (&columns)[2], std::string& sql) {
  Device device{id, generate.MakeText(false), std::nullopt, {}, {}};
  device.mac.stored.insert(0, macPrefix);
  device.mac.parsed.insert(0, macPrefix);
  if (!generate.OneIn(5, "null model")) device.model = generate.MakeText(true);
  const std::string key = std::to_string(id);
  sql += "INSERT INTO device VALUES (" + key + ", " + HexLiteral(device.mac.stored) + ", " +
         (device.model ? HexLiteral(device.model->stored) : "NULL") + ");";
  if (!generate.OneIn(5, "no capture row")) {
    sql += InsertNumbers(generate, "capture", key, std::size(kCaptureKeys), device.capture);
  }
  for (int t = 0; t < 2; ++t) {
    std::set<int64_t> dates;
    for (int n = generate.Pick(kSampleCounts); n > 0; --n) {
      const int64_t date = generate.OneIn(2) ? generate.Pick(kNumbers).read : generate.Any();
      if (!dates.insert(date).second) continue;  // dates are distinct per device
      Sample& sample = device.samples[t].emplace_back(Sample{date, {}});
      sql += InsertNumbers(generate, kStatsTables[t], key + ", " + std::to_string(date),
                           columns[t].size(), sample.counters);
    }
  }
  return device;
}

// The samples of a window, oldest first.
std::vector<Sample> Window(std::vector<Sample> samples, int64_t from, int64_t limit) {
  std::erase_if(samples, [from](const Sample& s) { return s.date <= from; });
  std::sort(samples.begin(), samples.end(),
            [](const Sample& a, const Sample& b) { return a.date < b.date; });
  if (limit >= 0 && samples.size() > static_cast<size_t>(limit)) samples.resize(limit);
  return samples;
}

// A counter column's series is found under the column's name, "p1_" and "p2_"
// columns in the two port objects; only stats_v2's raw counters have no
// series of their own. Every series holds one value per sample.
void ExpectStatsNode(Json node, int table, const std::vector<std::string>& columns,
                     const std::vector<Sample>& window) {
  std::vector<uint64_t> dates;
  for (const Sample& sample : window) dates.push_back(static_cast<uint64_t>(sample.date));
  EXPECT_EQ(node["date"], dates);
  for (size_t c = 0; c < columns.size(); ++c) {
    const std::string& column = columns[c];
    const bool perPort = column.size() > 3 && column[0] == 'p' && column[2] == '_';
    Json& holder = perPort ? node["ports"][column[1] - '1'] : node;
    const std::string key = perPort ? column.substr(3) : column;
    if (table == 1 && !holder.contains(key)) continue;
    std::vector<uint64_t> expected;
    for (const Sample& sample : window)
      expected.push_back(static_cast<uint64_t>(sample.counters[c]));
    EXPECT_EQ(holder[key], expected) << column;
  }
  for (const Json& port : node["ports"]) {
    for (const auto& [key, values] : port.items()) EXPECT_EQ(values.size(), window.size()) << key;
  }
}

TEST_F(StatusTest, RandomDatabasesAnswerWithTheStoredRows) {
  const std::vector<std::string> columns[2] = {CounterColumns(db_, "stats_v1"),
                                               CounterColumns(db_, "stats_v2")};
  ASSERT_FALSE(columns[0].empty());
  for (uint64_t seed : kSeeds) {
    Generator generate(seed);
    for (int round = 0; round < kRoundsPerSeed; ++round) {
      SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
      std::string sql =
          "PRAGMA synchronous = OFF; BEGIN; DELETE FROM device; DELETE FROM capture;"
          " DELETE FROM stats_v1; DELETE FROM stats_v2;";
      std::vector<Device> devices;
      std::set<int64_t> ids;
      for (int n = generate.Pick(kDeviceCounts); n > 0; --n) {
        const int64_t id = generate.Pick(kIds);
        if (!ids.insert(id).second) continue;
        // Only the first device's MAC may be empty; a prefix keeps each unique.
        const std::string prefix = devices.empty() ? "" : std::to_string(devices.size());
        devices.push_back(MakeDevice(generate, id, prefix, columns, sql));
      }
      Exec(sql + "COMMIT;");
      const Device* device =
          generate.OneIn(8, "unknown device") ? nullptr : &devices[generate.Below(devices.size())];
      const Param& from = generate.Pick(kFroms);
      const Param& limit = generate.Pick(kLimits);
      const std::string out =
          Status("mac=" + (device ? PercentEncoded(device->mac.stored) : "absent") + from.query +
                 limit.query);
      Json answer = ParseStatus(out);
      if (device == nullptr || device->id < 0) {
        EXPECT_EQ(out, StatusFailure("Failed to get device id"));
      } else if (device->capture.empty()) {
        EXPECT_EQ(out, StatusFailure("Failed to get device status"));
      } else {
        ASSERT_EQ(answer["result"], 0) << out;
        if (device->mac.stored.empty()) Generator::Saw("empty MAC answered");
        EXPECT_EQ(answer["info"]["mac"], device->mac.parsed);
        EXPECT_EQ(answer["info"]["model"], device->model ? device->model->parsed : "Unknown");
        for (size_t k = 0; k < std::size(kCaptureKeys); ++k) {
          // Status codes keep their sign; sizes and counts show unsigned.
          const int64_t value = device->capture[k];
          EXPECT_EQ(answer["capture"][kCaptureKeys[k]],
                    k < 2 ? Json(value) : Json(static_cast<uint64_t>(value)))
              << kCaptureKeys[k];
        }
        for (int t = 0; t < 2; ++t) {
          const std::vector<Sample> window = Window(device->samples[t], from.value, limit.value);
          ASSERT_EQ(answer.contains(kStatsNodes[t]), !window.empty()) << kStatsNodes[t];
          if (!window.empty()) ExpectStatsNode(answer[kStatsNodes[t]], t, columns[t], window);
          if (window.size() > 1) Generator::Saw("window of several samples");
        }
      }
    }
  }
  ExpectAllUsed(kFroms, std::size(kFroms));
  ExpectAllUsed(kLimits, std::size(kLimits));
  ExpectAllUsed(kNumbers, std::size(kNumbers));
  ExpectAllUsed(kIds, std::size(kIds));
  ExpectAllUsed(kSampleCounts, std::size(kSampleCounts));
  ExpectSeen({"null model", "no capture row", "unknown device", "empty MAC answered",
              "window of several samples"});
}

}  // namespace
