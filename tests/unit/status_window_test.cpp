// Which samples a status answer holds: dates above "from", oldest first, at
// most "limit" of them, the same window for both statistics tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "status_fixture.h"

namespace {

constexpr int64_t kMinDate = INT64_MIN;

class StatusWindowTest : public StatusTest {
 protected:
  void SetUp() override {
    StatusTest::SetUp();
    Exec(
        "INSERT INTO device VALUES (3, 'dev', 'M'); INSERT INTO capture VALUES (3,0,0,0,0,0,0);"
        "INSERT INTO device VALUES (4, 'other', 'M');");
    // Inserted out of order; the other device's samples interleave.
    for (const char* table : {"stats_v1", "stats_v2"}) {
      for (int64_t date : std::initializer_list<int64_t>{30, -5, 10, 0, 20, kMinDate}) {
        Exec(std::string("INSERT INTO ") + table + " (device, date, softwaredropped) VALUES (3, " +
             std::to_string(date) + ", " + std::to_string(date) + ");");
      }
      Exec(std::string("INSERT INTO ") + table + " (device, date) VALUES (4, 15), (4, 25);");
    }
  }

  // The dates of both nodes, which must agree; empty when both are absent.
  std::vector<int64_t> Dates(const std::string& window) {
    const nlohmann::json answer = ParseStatus(Status("mac=dev" + window));
    EXPECT_EQ(answer.contains("statsV1"), answer.contains("statsV2")) << window;
    if (!answer.contains("statsV1")) return {};
    std::vector<int64_t> v1 = answer["statsV1"]["date"].get<std::vector<int64_t>>();
    std::vector<int64_t> v2 = answer["statsV2"]["date"].get<std::vector<int64_t>>();
    EXPECT_EQ(v1, v2) << window;
    // Each sample's row: softwaredropped was stored equal to its date.
    EXPECT_EQ(answer["statsV1"]["softwaredropped"].get<std::vector<int64_t>>(), v1) << window;
    return v1;
  }
};

TEST_F(StatusWindowTest, FromAndLimit) {
  struct Case {
    const char* window;
    std::vector<int64_t> dates;
  };
  const Case cases[] = {
      // Defaults: the one earliest sample above 0.
      {"", {10}},
      {"&from=0&limit=1", {10}},
      // A sample dated exactly "from" is left out.
      {"&from=10", {20}},
      {"&from=10&limit=2", {20, 30}},
      {"&from=10&limit=100", {20, 30}},
      {"&from=30&limit=-1", {}},
      // A negative limit sets no bound; 0 gives nothing, so no node at all.
      {"&limit=-1", {10, 20, 30}},
      {"&limit=-7", {10, 20, 30}},
      {"&limit=0", {}},
      {"&limit=", {}},
      {"&limit=x", {}},
      // An empty or non-numeric "from" reads as 0, like its default.
      {"&from=&limit=-1", {10, 20, 30}},
      // "from" at 2^63 or above is bound as the negative number of its bits;
      // 2^63 itself is the smallest date, so that sample stays out.
      {"&from=9223372036854775808&limit=-1", {-5, 0, 10, 20, 30}},
      {"&from=18446744073709551611&limit=-1", {0, 10, 20, 30}},
      {"&from=18446744073709551615&limit=2", {0, 10}},
      // Too large for 64 bits: the largest value, read as -1.
      {"&from=99999999999999999999&limit=1", {0}},
      // strtoull's "-" negates: -6 is 2^64 - 6, bound as -6.
      {"&from=-6&limit=-1", {-5, 0, 10, 20, 30}},
      {"&from=9223372036854775807&limit=-1", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Dates(c.window), c.dates) << c.window;
}

}  // namespace
