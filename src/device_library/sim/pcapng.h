// Blocks of a pcapng capture file, as the simulated device writes them: one
// section, one Ethernet interface per port with nanosecond timestamps, then
// one Enhanced Packet Block per frame. Every number is in host byte order,
// which the Section Header Block's byte-order magic tells readers.
#ifndef VELORANTIS_SIM_PCAPNG_H_
#define VELORANTIS_SIM_PCAPNG_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace velorantis::sim {

// The device's two ports, interfaces 0 and 1 of the file.
inline constexpr uint32_t kPorts = 2;

// A Section Header Block (version 1.0, section length unknown) and one
// Interface Description Block per port, each with the snap length `snaplen`,
// its name ("port1", "port2") and nanosecond timestamp resolution.
std::string PcapngHeader(uint32_t snaplen);

// An Enhanced Packet Block of `frame` seen on `port` at `nanoseconds` since
// the epoch, holding its first `snaplen` bytes and its original length.
std::string PcapngPacket(uint32_t port, uint64_t nanoseconds, std::string_view frame,
                         uint32_t snaplen);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_PCAPNG_H_
