#include "helper/merge/block_encoding.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "helper/pcapng/pcapng_blocks.h"

namespace {

constexpr bool kHostBigEndian = std::endian::native == std::endian::big;

void Put16(Bytes& to, uint16_t value) {
  uint8_t bytes[2];
  memcpy(bytes, &value, 2);
  to.insert(to.end(), bytes, bytes + 2);
}

void SetLength(Bytes& block) {
  const auto length = static_cast<uint32_t>(block.size() + 4);
  memcpy(block.data() + 4, &length, 4);
  Put32(block, length);
}

// How an option's value is turned round: as bytes (0), as a 2, 4 or 8 byte
// number, or not carried (-1) where its layout is not known.
int InterfaceOptionWidth(uint16_t code) {
  switch (code) {
    case 8: case 16: case 17: return 8;  // speeds
    case 14: return 8;                   // if_tsoffset
    case 10: return 4;                   // if_tzone
    case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 9: case 11: case 12:
    case 13: case 15: case 18:
      return 0;
    default: return -1;
  }
}

int PacketOptionWidth(uint16_t code) {
  switch (code) {
    case 2: case 6: return 4;  // flags, queue
    case 4: case 5: return 8;  // drop count, packet id
    case 1: case 3: case 7: return 0;
    default: return -1;
  }
}

// Options from `at` to `end` of a section in `bigEndian` order, appended in
// this machine's order.
void AppendOptions(Bytes& to, const uint8_t* at, const uint8_t* end, bool bigEndian,
                   int (*widthOf)(uint16_t)) {
  if (bigEndian == kHostBigEndian) {
    to.insert(to.end(), at, end);
    return;
  }
  while (end - at >= 4) {
    const uint16_t code = Read16(at, bigEndian);
    const uint16_t bytes = Read16(at + 2, bigEndian);
    const uint8_t* value = at + 4;
    const uint32_t padded = (bytes + 3u) & ~3u;
    if (code == 0 || end - value < padded) break;
    at = value + padded;
    const int width = widthOf(code);
    if (width < 0 || (width > 0 && bytes != width)) continue;
    Put16(to, code);
    Put16(to, bytes);
    const size_t start = to.size();
    to.insert(to.end(), value, value + padded);
    if (width > 0) std::reverse(to.begin() + start, to.begin() + start + width);
  }
}

}  // namespace

uint16_t Read16(const uint8_t* at, bool bigEndian) {
  return bigEndian ? static_cast<uint16_t>(at[0] << 8 | at[1])
                   : static_cast<uint16_t>(at[1] << 8 | at[0]);
}

uint32_t Read32(const uint8_t* at, bool bigEndian) {
  const uint32_t value = static_cast<uint32_t>(at[0]) << 24 | static_cast<uint32_t>(at[1]) << 16 |
                         static_cast<uint32_t>(at[2]) << 8 | at[3];
  return bigEndian ? value : __builtin_bswap32(value);
}

void Put32(Bytes& to, uint32_t value) {
  uint8_t bytes[4];
  memcpy(bytes, &value, 4);
  to.insert(to.end(), bytes, bytes + 4);
}

Bytes SectionHeader() {
  Bytes block;
  Put32(block, kSectionHeaderBlock);
  Put32(block, 0);
  Put32(block, 0x1A2B3C4D);
  Put16(block, 1);
  Put16(block, 0);
  Put32(block, 0xffffffff);  // the section's length: not known
  Put32(block, 0xffffffff);
  SetLength(block);
  return block;
}

Bytes EncodeInterface(const uint8_t* block, uint32_t length, bool bigEndian) {
  Bytes out;
  Put32(out, kInterfaceBlock);
  Put32(out, 0);
  Put16(out, Read16(block + 8, bigEndian));
  Put16(out, 0);
  Put32(out, Read32(block + 12, bigEndian));
  AppendOptions(out, block + 16, block + length - 4, bigEndian, InterfaceOptionWidth);
  SetLength(out);
  return out;
}

bool ReadPacket(uint32_t type, const uint8_t* head, uint32_t headBytes, uint32_t length,
                bool bigEndian, PacketFields& fields) {
  if (length < kPacketHeadBytes + 4 || headBytes < kPacketHeadBytes) return false;
  fields.interface = Read32(head + 8, bigEndian);
  if (type == kObsoletePacketBlock) {
    fields.interface = bigEndian ? fields.interface >> 16 : fields.interface & 0xffff;
  }
  fields.high = Read32(head + 12, bigEndian);
  fields.low = Read32(head + 16, bigEndian);
  fields.captured = Read32(head + 20, bigEndian);
  fields.wire = Read32(head + 24, bigEndian);
  if (fields.captured > length - kPacketHeadBytes - 4) return false;
  fields.data = head + kPacketHeadBytes;
  fields.dataAtHand = std::min(fields.captured, headBytes - kPacketHeadBytes);
  return true;
}

uint32_t PacketBlockLength(uint32_t captured, uint32_t optionBytes) {
  return kPacketHeadBytes + ((captured + 3u) & ~3u) + optionBytes + 4;
}

void PutPacketHead(uint8_t (&to)[kPacketHeadBytes], uint32_t interface,
                   const PacketFields& fields, uint32_t length) {
  const uint32_t values[] = {kEnhancedPacketBlock, length,          interface, fields.high,
                             fields.low,           fields.captured, fields.wire};
  static_assert(sizeof(values) == kPacketHeadBytes);
  memcpy(to, values, kPacketHeadBytes);
}

bool IsTurned(bool bigEndian) { return bigEndian != kHostBigEndian; }

Bytes PacketOptions(const uint8_t* at, uint32_t bytes, bool bigEndian) {
  Bytes out;
  AppendOptions(out, at, at + bytes, bigEndian, PacketOptionWidth);
  return out;
}
