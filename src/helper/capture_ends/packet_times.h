// A capture file's first and last packet times, as the ledger keeps them.
#ifndef VELORANTIS_HELPER_CAPTURE_ENDS_PACKET_TIMES_H_
#define VELORANTIS_HELPER_CAPTURE_ENDS_PACKET_TIMES_H_

#include <cstdint>
#include <string>

struct PacketTimes {
  int64_t first = -1;  // Unix nanoseconds; -1: not known
  int64_t last = -1;
};

// Of the regular file at `path`, opened without following a link: the
// first packet from the front, the last from the end (FindPacketSpan).
// Both -1 when there is no such file or it holds no packet.
PacketTimes PacketTimesOf(const std::string& path);

#endif  // VELORANTIS_HELPER_CAPTURE_ENDS_PACKET_TIMES_H_
