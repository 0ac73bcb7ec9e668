// A time as a request gives it: the window of a download, and of whatever
// else the product's own commands bound by time.
#ifndef VELORANTIS_HELPER_FRONTEND_REQUEST_TIME_H_
#define VELORANTIS_HELPER_FRONTEND_REQUEST_TIME_H_

#include <cstdint>
#include <optional>
#include <string_view>

inline constexpr int64_t kNanosPerSecond = 1000000000;

// Unix seconds with up to nine digits of fraction ("1796718600.25"), or
// RFC 3339 in UTC ("2026-12-08T10:30:00.25Z", also with "+00:00"), in
// nanoseconds since 1970; nullopt for anything else, and for a time past
// what those reach (2262).
std::optional<int64_t> ParseRequestTime(std::string_view text);

#endif  // VELORANTIS_HELPER_FRONTEND_REQUEST_TIME_H_
