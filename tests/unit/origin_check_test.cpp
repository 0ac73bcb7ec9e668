#include "helper/frontend/origin_check.h"

#include <gtest/gtest.h>

#include <string>

// Each row in both modes: allowed is the answer outside strict mode, and
// strict the message of strict mode ("" for allowed).
TEST(IsSameOriginRequest, HeaderCombinations) {
  const char* const kHost = "192.168.1.5:8080";
  const std::string cross = kCrossOriginRefused, unproven = kNoRequestedWith;
  struct Case {
    const char *secFetchSite, *origin, *host, *requestedWith;
    bool allowed;
    std::string strict;
  } const cases[] = {
      {nullptr, nullptr, kHost, nullptr, true, unproven},
      {"", "", kHost, "", true, unproven},
      {nullptr, nullptr, kHost, "XMLHttpRequest", true, ""},
      {"same-origin", nullptr, kHost, nullptr, true, ""},
      {"none", nullptr, kHost, nullptr, true, ""},
      {"same-origin", "http://a.example", kHost, nullptr, true, ""},
      {"cross-site", nullptr, kHost, nullptr, false, cross},
      {"cross-site", nullptr, kHost, "x", false, cross},
      {"same-site", nullptr, kHost, nullptr, false, cross},
      {"cross-site", "http://192.168.1.5:8080", kHost, nullptr, false, cross},
      {nullptr, "http://192.168.1.5:8080", kHost, nullptr, true, ""},
      {nullptr, "http://192.168.1.5:8081", kHost, nullptr, false, cross},
      {nullptr, "http://192.168.1.5:8081", kHost, "x", false, cross},
      {nullptr, "null", kHost, nullptr, false, cross},
      {nullptr, "http://192.168.1.5:8080", nullptr, nullptr, false, cross},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(IsSameOriginRequest(c.secFetchSite, c.origin, c.host), c.allowed) << "row " << i;
    const OriginHeaders headers = {c.secFetchSite, c.origin, c.host, c.requestedWith};
    const char* lax = OriginCheckFailure(headers, false);
    EXPECT_EQ(lax == nullptr, c.allowed) << "row " << i;
    const char* strict = OriginCheckFailure(headers, true);
    EXPECT_EQ(strict != nullptr ? strict : "", c.strict) << "row " << i;
  }
}
