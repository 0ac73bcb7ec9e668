#include "helper/frontend/request_vars.h"

#include "helper/frontend/request.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <map>
#include <string>

namespace {

// The map's content as plain name -> value text, for comparing with rows.
std::map<std::string, std::string> Contents(const QueryMap& map) {
  std::map<std::string, std::string> contents;
  for (const auto& [name, value] : map) contents[name] = value;
  return contents;
}

// The decoding rules' cases are seeds of the query-decoding fuzz target
// (fuzz/query_decoding_seeds), checked there against a reference decoder.

TEST(ParsePairs, ZeroByteInNameIsStoredButCannotBeLookedUp) {
  QueryMap map;
  ParsePairs("a%00b=1", map);
  ASSERT_EQ(map.size(), 1u);
  EXPECT_EQ(map.begin()->first, std::string("a\0b", 3));
  query_map = map;
  EXPECT_EQ(getvar("a"), nullptr);
  query_map.clear();
}

TEST(ParsePairs, ReplacedValueStaysValid) {
  QueryMap map;
  ParsePairs("a=first", map);
  const char* first = map["a"];
  ParsePairs("a=second", map);
  EXPECT_STREQ(first, "first");  // never freed: earlier getvar() pointers stay valid
  EXPECT_STREQ(map["a"], "second");
}

class QueryStringTest : public ::testing::Test {
 protected:
  void TearDown() override {
    unsetenv("QUERY_STRING");
    query_map.clear();
  }
  void Load(const char* query) {
    query_map.clear();
    if (query == nullptr) {
      unsetenv("QUERY_STRING");
    } else {
      setenv("QUERY_STRING", query, 1);
    }
    InitGetVar();
  }
};

TEST_F(QueryStringTest, UnsetQueryStringEmptiesTheMap) {
  QueryMap map;
  ParsePairs("stale=1", map);
  unsetenv("QUERY_STRING");
  initializeGet(map);
  EXPECT_TRUE(map.empty());
}

TEST_F(QueryStringTest, GetvarTellsAbsentFromEmpty) {
  Load("command&mac=");
  ASSERT_NE(getvar("command"), nullptr);
  EXPECT_STREQ(getvar("command"), "");
  EXPECT_STREQ(getvar("mac"), "");
  EXPECT_EQ(getvar("output"), nullptr);
}

struct U64Case {
  const char* query;
  int status;
  uint64_t value;
};

TEST_F(QueryStringTest, GentenvU64) {
  const U64Case cases[] = {
      {"", -1, 77},  // absent: untouched
      {"n=", 0, 0},
      {"n=abc", 0, 0},
      {"n=42", 0, 42},
      {"n=+42", 0, 42},
      {"n=%20%2042", 0, 42},  // leading white space
      {"n=42abc", 0, 42},
      {"n=-1", 0, UINT64_MAX},
      {"n=-2", 0, UINT64_MAX - 1},
      {"n=18446744073709551615", 0, UINT64_MAX},
      {"n=18446744073709551616", 0, UINT64_MAX},  // too large
      {"n=99999999999999999999999", 0, UINT64_MAX},
      {"n=4294967297", 0, 4294967297u},
      {"n=0x10", 0, 0},  // decimal only
      // The same on every target: strtoull reads 64 bits wherever it runs.
      {"n=2147483648", 0, uint64_t{1} << 31},
      {"n=9223372036854775808", 0, uint64_t{1} << 63},
      {"n=-9223372036854775808", 0, uint64_t{1} << 63},
      {"n=-18446744073709551615", 0, 1},           // negated modulo 2^64
      {"n=-18446744073709551616", 0, UINT64_MAX},  // too large, sign and all
      {"n=-99999999999", 0, UINT64_MAX - 99999999999u + 1},
      {"n=%09-1", 0, UINT64_MAX},
      {"n=%2B-1", 0, 0},
      {"n=18446744073709551616junk", 0, UINT64_MAX},
  };
  for (const auto& c : cases) {
    Load(c.query);
    uint64_t value = 77;
    EXPECT_EQ(gentenv_u64("n", value), c.status) << c.query;
    EXPECT_EQ(value, c.value) << c.query;
    EXPECT_EQ(getenv_u64_default("n", 77), c.value) << c.query;
  }
}

struct IntCase {
  const char* query;
  int status;
  int value;
};

TEST_F(QueryStringTest, GentenvInt) {
  const IntCase cases[] = {
      {"", -1, 1},
      {"limit=", 0, 0},  // present but empty: 0, not the default
      {"limit=abc", 0, 0},
      {"limit=25", 0, 25},
      {"limit=-3", 0, -3},
      {"limit=%0912", 0, 12},
      {"limit=7x", 0, 7},
      {"limit=%20%0A%2B12", 0, 12},
      {"limit=%2B-3", 0, 0},
      // Beyond int: saturated on every target, never wrapped by long's width.
      {"limit=2147483647", 0, INT_MAX},
      {"limit=2147483648", 0, INT_MAX},
      {"limit=-2147483648", 0, INT_MIN},
      {"limit=-2147483649", 0, INT_MIN},
      {"limit=4294967297", 0, INT_MAX},
      {"limit=-4294967297", 0, INT_MIN},
      {"limit=-99999999999", 0, INT_MIN},
      {"limit=9223372036854775808", 0, INT_MAX},
      {"limit=18446744073709551617", 0, INT_MAX},
      {"limit=-18446744073709551617", 0, INT_MIN},
      {"limit=4294967297junk", 0, INT_MAX},
  };
  for (const auto& c : cases) {
    Load(c.query);
    int value = 1;
    EXPECT_EQ(gentenv_int("limit", value), c.status) << c.query;
    EXPECT_EQ(value, c.value) << c.query;
    EXPECT_EQ(getenv_int_default("limit", 1), c.value) << c.query;
  }
}

// The form-body reader, fed through a pipe on standard input.
class PostTest : public QueryStringTest {
 protected:
  void SetUp() override {
    savedStdin_ = dup(0);
    // Unbuffered, so that no case reads what an earlier case left in the buffer.
    setvbuf(stdin, nullptr, _IONBF, 0);
  }
  void TearDown() override {
    dup2(savedStdin_, 0);
    close(savedStdin_);
    clearerr(stdin);
    unsetenv("CONTENT_LENGTH");
    QueryStringTest::TearDown();
  }
  void Feed(const std::string& body) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], body.data(), body.size()), static_cast<ssize_t>(body.size()));
    close(fds[1]);
    dup2(fds[0], 0);
    close(fds[0]);
    clearerr(stdin);
  }
  int savedStdin_ = -1;
};

struct PostCase {
  const char* contentLength;  // null: unset
  std::string body;
  std::map<std::string, std::string> expected;
};

TEST_F(PostTest, Table) {
  // The map starts with one entry: a body adds to it, no body empties it.
  const PostCase cases[] = {
      {"7", "a=1&b=2", {{"stale", "1"}, {"a", "1"}, {"b", "2"}}},
      {"3", "a=1&b=2", {{"stale", "1"}, {"a", "1"}}},                   // reads only the length
      {" +5", "x=y+z", {{"stale", "1"}, {"x", "y z"}}},                 // atoi rules
      {"7", std::string("a=1\0b=2", 7), {{"stale", "1"}, {"a", "1"}}},  // ends at a zero byte
      {"9", "a=1", {}},                                                 // short read
      {"0", "a=1", {}},
      {"-4", "a=1", {}},
      {"4294967299", "a=1", {}},  // beyond int: far too long, not 3
      {"abc", "a=1", {}},
      {nullptr, "a=1", {}},
  };
  for (const auto& c : cases) {
    Feed(c.body);
    if (c.contentLength != nullptr) {
      setenv("CONTENT_LENGTH", c.contentLength, 1);
    } else {
      unsetenv("CONTENT_LENGTH");
    }
    QueryMap map;
    ParsePairs("stale=1", map);
    initializePost(map);
    EXPECT_EQ(Contents(map), c.expected)
        << "length " << (c.contentLength ? c.contentLength : "unset");
  }
}

// The product's own numbers: digits alone, within the key's range; an
// absent key reads as its default, or is refused when it has none.
TEST(RequestKeys, StrictNumbers) {
  constexpr Message kNone = Message::kNone, kBadId = Message::kInvalidCaptureId;
  const struct {
    const char* query;
    Key key;
    Message outcome;
    uint64_t value;
  } cases[] = {
      {"", Key::kListLimit, kNone, 20},
      {"limit=7", Key::kListLimit, kNone, 7},
      {"limit=", Key::kListLimit, Message::kInvalidLimit, 99},
      {"limit=7x", Key::kListLimit, Message::kInvalidLimit, 99},
      {"limit=%207", Key::kListLimit, Message::kInvalidLimit, 99},
      {"before=%2B7", Key::kBefore, Message::kInvalidBefore, 99},
      {"before=9223372036854775807", Key::kBefore, kNone, INT64_MAX},
      {"before=9223372036854775808", Key::kBefore, Message::kInvalidBefore, 99},
      {"", Key::kId, kBadId, 99},
      {"id=0", Key::kId, kBadId, 99},
      {"id=-1", Key::kId, kBadId, 99},
      {"id=12", Key::kId, kNone, 12},
  };
  for (const auto& c : cases) {
    QueryMap map;
    ParsePairs(c.query, map);
    uint64_t value = 99;
    EXPECT_EQ(ReadNumber(RequestOf(map), c.key, value).message, c.outcome) << c.query;
    EXPECT_EQ(value, c.value) << c.query;
  }
}

// A name the original and the product's own commands read by different
// rules is two keys: each reads the same text by its own rule.
TEST(RequestKeys, OneNameTwoRules) {
  constexpr Message kNone = Message::kNone;
  const struct {
    const char* query;
    uint64_t statusFrom;
    Message windowRefusal;
    int64_t windowFrom;  // ns
    int statusLimit;
    Message listRefusal;
  } cases[] = {
      {"from=1.5&limit=-1", 1, kNone, 1500000000, -1, Message::kInvalidLimit},
      {"from=1970-01-01T00:00:02Z&limit=30", 1970, kNone, 2000000000, 30, kNone},
      {"from=abc&limit=x", 0, Message::kInvalidFromTime, 0, 0, Message::kInvalidLimit},
      {"", 0, kNone, 0, 1, kNone},
  };
  for (const auto& c : cases) {
    QueryMap map;
    ParsePairs(c.query, map);
    const Request request = RequestOf(map);
    EXPECT_EQ(NumberOf(request, Key::kStatusFrom), c.statusFrom) << c.query;
    EXPECT_EQ(IntegerOf(request, Key::kStatusLimit), c.statusLimit) << c.query;
    std::optional<int64_t> from;
    EXPECT_EQ(ReadTime(request, Key::kWindowFrom, from).message, c.windowRefusal) << c.query;
    EXPECT_EQ(from.value_or(0), c.windowFrom) << c.query;
    uint64_t limit = 0;
    EXPECT_EQ(ReadNumber(request, Key::kListLimit, limit).message, c.listRefusal) << c.query;
  }
}

}  // namespace
