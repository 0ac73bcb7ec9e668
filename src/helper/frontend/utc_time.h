// Calendar times in UTC from Unix seconds, the one place they are computed:
// 64-bit arithmetic throughout, so every target, the 32-bit appliance
// included, gets them right past 2038.
#ifndef VELORANTIS_HELPER_FRONTEND_UTC_TIME_H_
#define VELORANTIS_HELPER_FRONTEND_UTC_TIME_H_

#include <cstdint>
#include <optional>
#include <string>

// Calendar fields of a UTC time; weekday 0 is Sunday.
struct UtcTime {
  int year;
  unsigned month, day, weekday, hour, minute, second;
};

// The fields of `unixSeconds`, kept between the epoch and
// 9999-12-31T23:59:59Z whatever it holds.
UtcTime SplitUtc(int64_t unixSeconds);

// The Unix seconds of `t` (its weekday not read); nullopt for a date that
// does not exist or lies outside 1970 to 9999, or a time of day out of range.
std::optional<int64_t> UnixSecondsOf(const UtcTime& t);

// "20261208T081455Z": capture file names.
std::string CompactUtc(int64_t unixSeconds);

// "2026-12-08T08:14:55Z": log lines.
std::string IsoUtc(int64_t unixSeconds);

#endif  // VELORANTIS_HELPER_FRONTEND_UTC_TIME_H_
