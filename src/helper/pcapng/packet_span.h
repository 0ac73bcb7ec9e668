// The times of a capture file's first and last packets, found without
// reading the whole file: the first from the front, the last by walking back
// from the end over the blocks' trailing lengths.
#ifndef VELORANTIS_HELPER_PCAPNG_PACKET_SPAN_H_
#define VELORANTIS_HELPER_PCAPNG_PACKET_SPAN_H_

#include <cstdint>
#include <optional>

#include "helper/pcapng/pcapng_blocks.h"

struct PacketSpan {
  UnixNanos first = 0;  // of the first packet in file order
  UnixNanos last = 0;   // of the last
};

// For the file open as `fd`, `size` bytes long; nullopt when it holds no
// packet with a time near either end (or is not pcapng). A last block cut
// short (a full disk, a capture still writing) is passed over. The last
// packet's time is read with the interfaces of the first section, which is
// every section of a file the device writes. The front is read in pieces of
// `readBytes`, as BlockReader takes it.
std::optional<PacketSpan> FindPacketSpan(int fd, uint64_t size,
                                         uint32_t readBytes = BlockReader::kReadBytes);

#endif  // VELORANTIS_HELPER_PCAPNG_PACKET_SPAN_H_
