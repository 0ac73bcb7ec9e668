#include "helper/frontend/origin_check.h"

#include <gtest/gtest.h>

// Each row in both modes: `allowed` outside strict mode, `strict` its message.
TEST(IsSameOriginRequest, HeaderCombinations) {
  const char* const kHost = "192.168.1.5:8080";
  constexpr Message cross = Message::kCrossOriginRefused;
  constexpr Message proof = Message::kNoRequestedWith;
  constexpr Message none = Message::kNone;
  struct Case {
    const char *secFetchSite, *origin, *host, *requestedWith;
    bool allowed;
    Message strict;
  } const cases[] = {
      {nullptr, nullptr, kHost, nullptr, true, proof},
      {"", "", kHost, "", true, proof},
      {nullptr, nullptr, kHost, "XMLHttpRequest", true, none},
      {"same-origin", nullptr, kHost, nullptr, true, none},
      {"none", nullptr, kHost, nullptr, true, none},
      {"same-origin", "http://a.example", kHost, nullptr, true, none},
      {"cross-site", nullptr, kHost, nullptr, false, cross},
      {"cross-site", nullptr, kHost, "x", false, cross},
      {"same-site", nullptr, kHost, nullptr, false, cross},
      {"cross-site", "http://192.168.1.5:8080", kHost, nullptr, false, cross},
      {nullptr, "http://192.168.1.5:8080", kHost, nullptr, true, none},
      {nullptr, "http://192.168.1.5:8081", kHost, nullptr, false, cross},
      {nullptr, "http://192.168.1.5:8081", kHost, "x", false, cross},
      {nullptr, "null", kHost, nullptr, false, cross},
      {nullptr, "http://192.168.1.5:8080", nullptr, nullptr, false, cross},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(IsSameOriginRequest(c.secFetchSite, c.origin, c.host), c.allowed) << "row " << i;
    const OriginHeaders headers = {c.secFetchSite, c.origin, c.host, c.requestedWith};
    EXPECT_EQ(OriginCheckFailure(headers, false), c.allowed ? none : cross) << "row " << i;
    EXPECT_EQ(OriginCheckFailure(headers, true), c.strict) << "row " << i;
  }
}
