#include "helper/frontend/request_vars.h"

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

struct DecodeCase {
  std::string input;
  std::string expected;
};

TEST(UrlDecode, Table) {
  const DecodeCase cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"x+y", "x y"},
      {"%2B", "+"},
      {"%41%42", "AB"},
      {"%4a%4A", "JJ"},
      {"12%4", "12"},  // fewer than two bytes after '%'
      {"12%", "12"},
      {"%", ""},
      {"1%4g", std::string("1\x04", 2)},  // only the leading hex digit counts
      {"1%zz2", std::string("1\0"
                            "2",
                            3)},  // no digit: a zero byte
      {"%g1", std::string("\0", 1)},
      {"%+1x", std::string("\0x", 2)},  // no sign inside an escape
      {"%ff", "\xff"},
      {"a%20b%2", "a b"},
      {"%%41", std::string("\x00"
                           "1",
                           2)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(urlDecode(c.input), c.expected) << "input: " << c.input;
  }
}

struct ParseCase {
  const char* query;
  std::map<std::string, std::string> expected;
};

TEST(ParsePairs, Table) {
  const ParseCase cases[] = {
      {"", {}},
      {"a=1", {{"a", "1"}}},
      {"a=1&a=2", {{"a", "2"}}},
      {"=1&b=2", {{"b", "2"}}},
      {"a&&b", {{"a", ""}, {"b", ""}}},
      {"&&&", {}},
      {"k=1=2", {{"k", "12"}}},
      {"k=1%3D2", {{"k", "1=2"}}},
      {"a=x+y", {{"a", "x y"}}},
      {"%61=1", {{"a", "1"}}},
      {"a%3Db=1", {{"a=b", "1"}}},
      {"a=1;b=2", {{"a", "1;b2"}}},  // ';' is an ordinary byte
      {"a=1%zz2", {{"a", "1"}}},     // the value copy ends at the decoded zero byte
      {"%=5", {{"", "5"}}},          // raw name not empty, decodes to the empty name
      {"command", {{"command", ""}}},
      {"command=", {{"command", ""}}},
      {"x=%", {{"x", ""}}},
  };
  for (const auto& c : cases) {
    QueryMap map;
    ParsePairs(c.query, map);
    EXPECT_EQ(Contents(map), c.expected) << "query: " << c.query;
  }
}

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

}  // namespace
