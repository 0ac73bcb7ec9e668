// Synthetic traffic: the Ethernet frames a simulated device captures.
#ifndef VELORANTIS_SIM_FRAMES_H_
#define VELORANTIS_SIM_FRAMES_H_

#include <cstdint>
#include <string>

namespace velorantis::sim {

struct Frame {
  uint32_t port;      // 0 or 1: the port that saw it
  std::string bytes;  // from the destination MAC to the end of the payload
};

// Frame number `number` of a capture, the same for the same number: an
// Ethernet II frame carrying IPv4 (valid header checksum) and UDP or TCP
// between a few hosts. Its length falls in one of the three classes the
// device's statistics count: below 64 bytes (one in ten), 64 to 1518 (most),
// above 1518 up to 9000 (one in twenty).
Frame SyntheticFrame(uint64_t number);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_FRAMES_H_
