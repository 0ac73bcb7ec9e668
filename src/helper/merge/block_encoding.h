// The blocks of a merged capture, written in this machine's byte order
// whatever the order of the sections they come from: a section header of
// our own, interface descriptions and enhanced packet blocks re-encoded
// field by field. Options whose layout is known are turned round; others
// go only where no turning is needed.
#ifndef VELORANTIS_HELPER_MERGE_BLOCK_ENCODING_H_
#define VELORANTIS_HELPER_MERGE_BLOCK_ENCODING_H_

#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A value of a block as its section has it.
uint16_t Read16(const uint8_t* at, bool bigEndian);
uint32_t Read32(const uint8_t* at, bool bigEndian);

// Appends `value` in this machine's order.
void Put32(Bytes& to, uint32_t value);

// A section header block of unknown section length, no options.
Bytes SectionHeader();

// The interface description block `block` (`length` bytes, whole) of a
// section in `bigEndian` order, in this machine's order.
Bytes EncodeInterface(const uint8_t* block, uint32_t length, bool bigEndian);

// A packet block's fields as its section has them.
struct PacketFields {
  uint32_t interface = 0;
  uint32_t high = 0;  // the timestamp's two halves, in the interface's units
  uint32_t low = 0;
  uint32_t captured = 0;
  uint32_t wire = 0;
  const uint8_t* data = nullptr;  // the packet's bytes at hand
  uint32_t dataAtHand = 0;        // up to `captured`
};

// The fields of an enhanced (or obsolete) packet block of `length` bytes of
// which `head` holds `headBytes`; false for a block too short for them or
// for its captured length.
bool ReadPacket(uint32_t type, const uint8_t* head, uint32_t headBytes, uint32_t length,
                bool bigEndian, PacketFields& fields);

// The bytes an enhanced packet block takes for `captured` bytes of packet
// and `optionBytes` of options.
uint32_t PacketBlockLength(uint32_t captured, uint32_t optionBytes);

inline constexpr uint32_t kPacketHeadBytes = 28;  // type, length, interface, time, lengths

// The start of an enhanced packet block for interface `interface` with the
// fields of `fields` (its total length `length`): everything before the
// packet's bytes.
void PutPacketHead(uint8_t (&to)[kPacketHeadBytes], uint32_t interface,
                   const PacketFields& fields, uint32_t length);

// Whether a section in `bigEndian` order reads otherwise than this machine.
bool IsTurned(bool bigEndian);

// The options of a packet block of a turned section (`bytes` from `at`) in
// this machine's order: those of known layout.
Bytes PacketOptions(const uint8_t* at, uint32_t bytes, bool bigEndian);

#endif  // VELORANTIS_HELPER_MERGE_BLOCK_ENCODING_H_
