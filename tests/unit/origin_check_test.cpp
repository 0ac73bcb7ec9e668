#include "helper/frontend/origin_check.h"

#include <gtest/gtest.h>

namespace {

TEST(IsSameOriginRequest, HeaderCombinations) {
  const char* const kHost = "192.168.1.5:8080";
  struct Case {
    const char* secFetchSite;
    const char* origin;
    const char* host;
    bool allowed;
  };
  const Case cases[] = {
      {nullptr, nullptr, kHost, true},  // curl, scripts
      {"", "", kHost, true},
      {"same-origin", nullptr, kHost, true},
      {"none", nullptr, kHost, true},
      {"same-origin", "http://evil.example", kHost, true},
      {"cross-site", nullptr, kHost, false},
      {"same-site", "http://192.168.1.5:8081", kHost, false},
      {"cross-site", "http://192.168.1.5:8080", kHost, false},
      {"Same-Origin", nullptr, kHost, false},
      {nullptr, "http://192.168.1.5:8080", kHost, true},
      {"", "https://192.168.1.5:8080", kHost, true},
      {nullptr, "http://192.168.1.5", kHost, false},
      {nullptr, "http://192.168.1.5:80", "192.168.1.5", false},
      {nullptr, "http://192.168.1.5:8080/x", kHost, true},
      {nullptr, "http://evil.example", kHost, false},
      {nullptr, "null", kHost, false},
      {nullptr, "192.168.1.5:8080", kHost, false},
      {nullptr, "http://", "", false},
      {nullptr, "http://192.168.1.5:8080", nullptr, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSameOriginRequest(c.secFetchSite, c.origin, c.host), c.allowed)
        << (c.secFetchSite ? c.secFetchSite : "(none)") << " | " << (c.origin ? c.origin : "(none)")
        << " | " << (c.host ? c.host : "(none)");
  }
}

}  // namespace
