// The time window of a capture's download: the request's "from" and "to".
#ifndef VELORANTIS_HELPER_DOWNLOAD_TIME_WINDOW_H_
#define VELORANTIS_HELPER_DOWNLOAD_TIME_WINDOW_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "helper/pcapng/pcapng_blocks.h"
#include "shared/status.h"

// The packets whose times lie in [from, to); an absent bound leaves that
// side open.
struct TimeWindow {
  std::optional<UnixNanos> from;
  std::optional<UnixNanos> to;

  bool Holds(UnixNanos time) const { return (!from || time >= *from) && (!to || time < *to); }
};

// A time as a request gives it: Unix seconds with up to nine digits of
// fraction ("1796718600.25"), or RFC 3339 in UTC ("2026-12-08T10:30:00.25Z",
// also with "+00:00"); nullopt for anything else.
std::optional<UnixNanos> ParseRequestTime(std::string_view text);

// Whether the request names a window ("from" or "to" given).
bool AsksForWindow();

// The request's window. Fails with kInvalidFromTime or kInvalidToTime for a
// bound that is not a time, kReversedWindow when "to" comes before "from".
Status ReadTimeWindow(TimeWindow& window);

// A window bound for a file name: "20261208T103000Z", with the fraction
// where there is one ("20261208T103000.25Z").
std::string CompactTime(UnixNanos time);

#endif  // VELORANTIS_HELPER_DOWNLOAD_TIME_WINDOW_H_
