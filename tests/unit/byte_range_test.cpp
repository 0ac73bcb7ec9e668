#include "helper/download/byte_range.h"

#include <gtest/gtest.h>

namespace {

constexpr RangeKind kWhole = RangeKind::kWhole, kPart = RangeKind::kPart,
                    kPast = RangeKind::kUnsatisfiable;

TEST(ParseByteRange, OneRangeOfBytesOrTheWholeFile) {
  struct Row {
    const char* header;
    uint64_t size;
    ByteRange expected;
  };
  const Row rows[] = {
      {nullptr, 1000, {kWhole, 0, 1000}},
      {"bytes=0-499", 1000, {kPart, 0, 500}},
      {" BYTES=500-999 ", 1000, {kPart, 500, 500}},
      {"bytes=500-5000", 1000, {kPart, 500, 500}},
      {"bytes=999-", 1000, {kPart, 999, 1}},
      {"bytes=-1", 1000, {kPart, 999, 1}},
      {"bytes=-4000", 1000, {kPart, 0, 1000}},
      {"bytes=4294967296-", 4294967396, {kPart, 4294967296, 100}},
      {"bytes=0-99999999999999999999999", 1000, {kPart, 0, 1000}},
      {"bytes=1000-", 1000, {kPast, 0, 0}},
      {"bytes=99999999999999999999999-", 1000, {kPast, 0, 0}},
      {"bytes=-0", 1000, {kPast, 0, 0}},
      {"bytes=0-", 0, {kPast, 0, 0}},
      {"bytes=-5", 0, {kPast, 0, 0}},
      {"bytes=5-4", 1000, {kWhole, 0, 1000}},
      {"bytes=0-1,5-9", 1000, {kWhole, 0, 1000}},
      {"bytes=-", 1000, {kWhole, 0, 1000}},
      {"bytes=1-2x", 1000, {kWhole, 0, 1000}},
      {"bytes=+1-2", 1000, {kWhole, 0, 1000}},
      {"items=0-1", 1000, {kWhole, 0, 1000}},
      {"", 1000, {kWhole, 0, 1000}},
  };
  for (const Row& row : rows) {
    const ByteRange range = ParseByteRange(row.header, row.size);
    const char* header = row.header != nullptr ? row.header : "(none)";
    EXPECT_EQ(range.kind, row.expected.kind) << header;
    EXPECT_EQ(range.first, row.expected.first) << header;
    EXPECT_EQ(range.length, row.expected.length) << header;
  }
}

}  // namespace
