#include "helper/pcapng/pcapng_blocks.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace {

constexpr size_t kMostInterfaces = 65536;
constexpr uint64_t kNanosPerSecond = 1000000000;
constexpr uint16_t kEndOfOptions = 0;
constexpr uint16_t kTimestampResolution = 9;
constexpr uint16_t kTimestampOffset = 14;

uint32_t Swap32(uint32_t value) {
  return (value >> 24) | ((value >> 8) & 0xff00) | ((value << 8) & 0xff0000) | (value << 24);
}

// Reads `bytes` at `offset` of `fd`, all of them unless the file ends first.
size_t ReadAt(int fd, uint8_t* to, size_t bytes, uint64_t offset) {
  size_t done = 0;
  while (done < bytes) {
    const ssize_t got = pread(fd, to + done, bytes - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

// The clock an interface block's if_tsresol value gives; 0 units per second
// for one that no 64-bit count can hold.
uint64_t UnitsPerSecond(uint8_t resolution) {
  const unsigned exponent = resolution & 0x7f;
  if ((resolution & 0x80) != 0) return exponent < 64 ? uint64_t{1} << exponent : 0;
  if (exponent > 19) return 0;
  uint64_t units = 1;
  for (unsigned i = 0; i < exponent; ++i) units *= 10;
  return units;
}

}  // namespace

UnixNanos PacketTime(uint64_t units, const InterfaceClock& clock) {
  const uint64_t perSecond = clock.unitsPerSecond;
  const uint64_t rest = units % perSecond;
  uint64_t nanos;
  if (perSecond == kNanosPerSecond) {
    nanos = rest;
  } else if (perSecond <= UINT64_MAX / kNanosPerSecond) {
    nanos = rest * kNanosPerSecond / perSecond;
  } else {  // finer than 1/18 ns: no writer uses it, an approximation will do
    nanos = static_cast<uint64_t>(static_cast<long double>(rest) * kNanosPerSecond / perSecond);
  }
  // The whole seconds (never negative) and the offset added in full width:
  // a sum that int64_t cannot hold lies past 2262.
  int64_t seconds;
  if (__builtin_add_overflow(units / perSecond, clock.offsetSeconds, &seconds)) return INT64_MAX;
  if (seconds >= INT64_MAX / static_cast<int64_t>(kNanosPerSecond)) return INT64_MAX;
  if (seconds <= INT64_MIN / static_cast<int64_t>(kNanosPerSecond)) return INT64_MIN;
  return seconds * static_cast<int64_t>(kNanosPerSecond) + static_cast<int64_t>(nanos);
}

BlockReader::BlockReader(int fd, uint64_t offset, uint32_t readBytes)
    : fd_(fd),
      next_(offset),
      buffer_(std::max(readBytes, kLeastReadBytes)),
      headLimit_(std::min(kHeadBytes, static_cast<uint32_t>(buffer_.size()))) {}

uint32_t BlockReader::Read32(const uint8_t* at) const {
  uint32_t value = static_cast<uint32_t>(at[0]) << 24 | static_cast<uint32_t>(at[1]) << 16 |
                   static_cast<uint32_t>(at[2]) << 8 | at[3];
  return bigEndian_ ? value : Swap32(value);
}

bool BlockReader::Fill(uint64_t offset, uint32_t want) {
  if (offset >= bufferStart_ && offset + want <= bufferStart_ + bufferBytes_) return true;
  bufferStart_ = offset;
  bufferBytes_ = static_cast<uint32_t>(ReadAt(fd_, buffer_.data(), buffer_.size(), offset));
  return want <= bufferBytes_;
}

std::optional<InterfaceClock> BlockReader::Clock(uint32_t id) const {
  if (id >= clocks_.size() || clocks_[id].unitsPerSecond == 0) return std::nullopt;
  return clocks_[id];
}

bool BlockReader::ReadInterface(const Block& block) {
  if (block.headBytes != block.length || block.length < 20 || clocks_.size() >= kMostInterfaces) {
    return false;
  }
  InterfaceClock clock;
  const uint8_t* option = block.head + 16;
  const uint8_t* end = block.head + block.length - 4;
  while (end - option >= 4) {
    const uint16_t code = static_cast<uint16_t>(Read32(option) >> (bigEndian_ ? 16 : 0));
    const uint16_t bytes = static_cast<uint16_t>(Read32(option) >> (bigEndian_ ? 0 : 16));
    const uint8_t* value = option + 4;
    if (code == kEndOfOptions || end - value < bytes) break;
    if (code == kTimestampResolution && bytes >= 1) clock.unitsPerSecond = UnitsPerSecond(*value);
    if (code == kTimestampOffset && bytes == 8) {
      const uint64_t high = Read32(value + (bigEndian_ ? 0 : 4));
      const uint64_t low = Read32(value + (bigEndian_ ? 4 : 0));
      clock.offsetSeconds = static_cast<int64_t>(high << 32 | low);
    }
    option = value + ((bytes + 3u) & ~3u);
  }
  clocks_.push_back(clock);
  return true;
}

Step BlockReader::Next(Block& block) {
  const uint64_t offset = next_;
  if (!Fill(offset, 12)) {
    return offset >= bufferStart_ + bufferBytes_ ? Step::kEnd : Step::kCut;
  }
  const uint8_t* start = buffer_.data() + (offset - bufferStart_);
  // The section header's type reads the same either way; its mark says
  // which way the rest of the section reads.
  const bool section = start[0] == 0x0A && start[1] == 0x0D && start[2] == 0x0D && start[3] == 0x0A;
  if (section) {
    const uint32_t mark =
        static_cast<uint32_t>(start[8]) << 24 | start[9] << 16 | start[10] << 8 | start[11];
    if (mark != 0x1A2B3C4D && mark != 0x4D3C2B1A) return Step::kDamaged;
    bigEndian_ = mark == 0x1A2B3C4D;
    inSection_ = true;
    clocks_.clear();
  } else if (!inSection_) {
    return Step::kDamaged;
  }
  block.offset = offset;
  block.type = Read32(start);
  block.length = Read32(start + 4);
  if (block.length < 12 || block.length % 4 != 0) return Step::kDamaged;
  block.headBytes = std::min(block.length, headLimit_);
  if (!Fill(offset, block.headBytes)) return Step::kCut;
  block.head = buffer_.data() + (offset - bufferStart_);
  uint8_t trailer[4];
  const uint8_t* last = block.head + block.length - 4;
  if (block.headBytes < block.length) {
    if (ReadAt(fd_, trailer, 4, offset + block.length - 4) < 4) return Step::kCut;
    last = trailer;
  }
  if (Read32(last) != block.length) return Step::kDamaged;
  if (section && block.headBytes < block.length) return Step::kDamaged;
  if (block.type == kInterfaceBlock && !ReadInterface(block)) return Step::kDamaged;
  next_ = offset + block.length;
  return Step::kBlock;
}

std::optional<UnixNanos> BlockReader::TimeOf(const Block& block) const {
  if ((block.type != kEnhancedPacketBlock && block.type != kObsoletePacketBlock) ||
      block.headBytes < 24) {
    return std::nullopt;
  }
  // The obsolete packet block has a 16-bit interface id and a 16-bit drop
  // count where the enhanced one has its 32-bit id.
  uint32_t id = Read32(block.head + 8);
  if (block.type == kObsoletePacketBlock) id = bigEndian_ ? id >> 16 : id & 0xffff;
  const std::optional<InterfaceClock> clock = Clock(id);
  if (!clock) return std::nullopt;
  const uint64_t units = uint64_t{Read32(block.head + 12)} << 32 | Read32(block.head + 16);
  return PacketTime(units, *clock);
}
