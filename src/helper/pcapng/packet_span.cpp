#include "helper/pcapng/packet_span.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

// So many blocks are looked at from either end before giving up: a packet
// is always within the first few blocks of a section and among the last.
constexpr int kBlocksLooked = 4096;
// The tail searched for the end of the last whole block when the file ends
// inside one: more than the largest block the device writes.
constexpr uint32_t kTailBytes = 512 * 1024;

uint32_t Read32(const uint8_t* at, bool bigEndian) {
  return bigEndian ? static_cast<uint32_t>(at[0]) << 24 | at[1] << 16 | at[2] << 8 | at[3]
                   : static_cast<uint32_t>(at[3]) << 24 | at[2] << 16 | at[1] << 8 | at[0];
}

// Whether a block of `length` ends at `end` of `tail` (which begins at
// file offset `tailStart`): both of its lengths agree.
bool BlockEndsAt(const std::vector<uint8_t>& tail, uint64_t tailStart, uint64_t end,
                 bool bigEndian) {
  const uint64_t local = end - tailStart;
  if (local < 12) return false;
  const uint32_t length = Read32(tail.data() + local - 4, bigEndian);
  if (length < 12 || length % 4 != 0 || length > local) return false;
  return Read32(tail.data() + local - length + 4, bigEndian) == length;
}

}  // namespace

std::optional<PacketSpan> FindPacketSpan(int fd, uint64_t size, uint32_t readBytes) {
  BlockReader reader(fd, 0, readBytes);
  Block block;
  std::optional<UnixNanos> first;
  for (int looked = 0; !first && looked < kBlocksLooked; ++looked) {
    if (reader.Next(block) != Step::kBlock) return std::nullopt;
    first = reader.TimeOf(block);
  }
  if (!first) return std::nullopt;
  // The tail, to find where the last whole block ends.
  const uint64_t tailStart = size > kTailBytes ? size - kTailBytes : 0;
  std::vector<uint8_t> tail(static_cast<size_t>(size - tailStart));
  if (pread(fd, tail.data(), tail.size(), static_cast<off_t>(tailStart)) !=
      static_cast<ssize_t>(tail.size())) {
    return PacketSpan{*first, *first};
  }
  const bool bigEndian = reader.bigEndian();
  uint64_t end = size & ~uint64_t{3};
  while (end > tailStart && !BlockEndsAt(tail, tailStart, end, bigEndian)) end -= 4;
  // Back over the whole blocks to the last packet.
  for (int looked = 0; looked < kBlocksLooked && end > tailStart; ++looked) {
    if (!BlockEndsAt(tail, tailStart, end, bigEndian)) break;
    const uint32_t length = Read32(tail.data() + (end - tailStart) - 4, bigEndian);
    block.offset = end - length;
    block.head = tail.data() + (block.offset - tailStart);
    block.type = Read32(block.head, bigEndian);
    block.length = length;
    block.headBytes = std::min(length, BlockReader::kHeadBytes);
    if (const std::optional<UnixNanos> last = reader.TimeOf(block)) {
      return PacketSpan{*first, *last};
    }
    end = block.offset;
  }
  return PacketSpan{*first, *first};
}
