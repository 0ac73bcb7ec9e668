// A span of packet times: what a window download and an extraction keep.
#ifndef VELORANTIS_HELPER_PCAPNG_PACKET_WINDOW_H_
#define VELORANTIS_HELPER_PCAPNG_PACKET_WINDOW_H_

#include <optional>

#include "helper/pcapng/pcapng_blocks.h"

// The packets whose times lie in [from, to); an absent bound leaves that
// side open.
struct TimeWindow {
  std::optional<UnixNanos> from;
  std::optional<UnixNanos> to;

  bool Holds(UnixNanos time) const { return (!from || time >= *from) && (!to || time < *to); }
  // Whether packets from `first` to `last` (both held) can meet the window.
  bool Meets(UnixNanos first, UnixNanos last) const {
    return (!from || last >= *from) && (!to || first < *to);
  }
};

#endif  // VELORANTIS_HELPER_PCAPNG_PACKET_WINDOW_H_
