// UTC times as names, log lines and HTTP dates carry them, on every target
// (the PowerPC suite runs this on the 32-bit appliance's architecture).
#include <gtest/gtest.h>

#include "helper/download/download_header.h"
#include "helper/frontend/utc_time.h"

namespace {

TEST(UtcTime, PastTwentyThirtyEightAndClampedAtTheEnds) {
  const struct {
    int64_t seconds;
    const char *compact, *iso, *http;
  } rows[] = {
      {1796717695, "20261208T081455Z", "2026-12-08T08:14:55Z", "Tue, 08 Dec 2026 08:14:55 GMT"},
      {2147483648, "20380119T031408Z", "2038-01-19T03:14:08Z", "Tue, 19 Jan 2038 03:14:08 GMT"},
      {4107542399, "21000228T235959Z", "2100-02-28T23:59:59Z", "Sun, 28 Feb 2100 23:59:59 GMT"},
      {-1, "19700101T000000Z", "1970-01-01T00:00:00Z", "Thu, 01 Jan 1970 00:00:00 GMT"},
      {INT64_MAX, "99991231T235959Z", "9999-12-31T23:59:59Z", "Fri, 31 Dec 9999 23:59:59 GMT"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CompactUtc(row.seconds), row.compact) << row.seconds;
    EXPECT_EQ(IsoUtc(row.seconds), row.iso) << row.seconds;
    EXPECT_EQ(HttpDate(row.seconds), row.http) << row.seconds;
  }
  EXPECT_EQ(AttachmentName("00:11:22:aa:bb:cc", 2147483648),
            "Velorantis-00-11-22-aa-bb-cc-20380119T031408Z.pcapng");
}

}  // namespace
