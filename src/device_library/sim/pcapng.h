// The start of a pcapng capture file, so that a freshly started capture is
// already a file capture tools open.
#ifndef VELORANTIS_SIM_PCAPNG_H_
#define VELORANTIS_SIM_PCAPNG_H_

#include <cstdint>
#include <string>

namespace velorantis::sim {

// A Section Header Block (version 1.0, section length unknown) followed by
// one Ethernet Interface Description Block, in host byte order.
std::string PcapngPreamble(uint32_t snaplen);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_PCAPNG_H_
