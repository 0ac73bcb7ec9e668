#include "helper/frontend/utc_time.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

static_assert(sizeof(time_t) == 8, "build with _TIME_BITS=64: times pass 2038");

namespace {

// 9999-12-31T23:59:59Z: the calendar arithmetic never overflows whatever a
// ledger row or a file time holds.
constexpr int64_t kLastSecond = 253402300799;

}  // namespace

UtcTime SplitUtc(int64_t unixSeconds) {
  using namespace std::chrono;
  const int64_t kept = std::clamp<int64_t>(unixSeconds, 0, kLastSecond);
  const int64_t secondOfDay = kept % 86400;
  const sys_days date{days{kept / 86400}};
  const year_month_day ymd{date};
  return UtcTime{int(ymd.year()),
                 unsigned(ymd.month()),
                 unsigned(ymd.day()),
                 weekday{date}.c_encoding(),
                 static_cast<unsigned>(secondOfDay / 3600),
                 static_cast<unsigned>(secondOfDay / 60 % 60),
                 static_cast<unsigned>(secondOfDay % 60)};
}

namespace {

// `format` takes the year, month, day, hour, minute and second in turn.
std::string FormatUtc(int64_t unixSeconds, const char* format) {
  const UtcTime t = SplitUtc(unixSeconds);
  char text[32];
  snprintf(text, sizeof text, format, t.year, t.month, t.day, t.hour, t.minute, t.second);
  return text;
}

}  // namespace

std::string CompactUtc(int64_t unixSeconds) {
  return FormatUtc(unixSeconds, "%04d%02u%02uT%02u%02u%02uZ");
}

std::string IsoUtc(int64_t unixSeconds) {
  return FormatUtc(unixSeconds, "%04d-%02u-%02uT%02u:%02u:%02uZ");
}

std::optional<int64_t> UnixSecondsOf(const UtcTime& t) {
  using namespace std::chrono;
  const year_month_day date{year{t.year}, month{t.month}, day{t.day}};
  if (t.year < 1970 || t.year > 9999 || !date.ok() || t.hour > 23 || t.minute > 59 ||
      t.second > 59) {
    return std::nullopt;
  }
  return int64_t{sys_days{date}.time_since_epoch().count()} * 86400 + t.hour * 3600 +
         t.minute * 60 + t.second;
}
