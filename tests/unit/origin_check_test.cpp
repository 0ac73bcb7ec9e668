#include "helper/frontend/origin_check.h"

#include <gtest/gtest.h>

TEST(IsSameOriginRequest, HeaderCombinations) {
  const char* const kHost = "192.168.1.5:8080";
  struct Case {
    const char *secFetchSite, *origin, *host;
    bool allowed;
  } const cases[] = {
      {nullptr, nullptr, kHost, true},
      {"", "", kHost, true},
      {"same-origin", nullptr, kHost, true},
      {"none", nullptr, kHost, true},
      {"same-origin", "http://a.example", kHost, true},
      {"cross-site", nullptr, kHost, false},
      {"same-site", nullptr, kHost, false},
      {"cross-site", "http://192.168.1.5:8080", kHost, false},
      {nullptr, "http://192.168.1.5:8080", kHost, true},
      {nullptr, "http://192.168.1.5:8081", kHost, false},
      {nullptr, "null", kHost, false},
      {nullptr, "http://192.168.1.5:8080", nullptr, false},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(IsSameOriginRequest(c.secFetchSite, c.origin, c.host), c.allowed) << "row " << i;
  }
}
