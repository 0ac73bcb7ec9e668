// Reading a pcapng capture file block by block, as the device writes it and
// as any other writer may: either byte order, several sections, several
// interfaces each with its own timestamp resolution and offset, blocks of
// any type. Only what a time window needs is read of each block: its type,
// its length, and a packet's interface and timestamp. Memory stays fixed
// whatever the file's size; offsets are 64 bits wide on every target.
#ifndef VELORANTIS_HELPER_PCAPNG_PCAPNG_BLOCKS_H_
#define VELORANTIS_HELPER_PCAPNG_PCAPNG_BLOCKS_H_

#include <cstdint>
#include <optional>
#include <vector>

inline constexpr uint32_t kSectionHeaderBlock = 0x0A0D0D0A;
inline constexpr uint32_t kInterfaceBlock = 1;
inline constexpr uint32_t kObsoletePacketBlock = 2;
inline constexpr uint32_t kNameResolutionBlock = 4;
inline constexpr uint32_t kEnhancedPacketBlock = 6;
inline constexpr uint32_t kDecryptionSecretsBlock = 10;

// A time as Unix nanoseconds (until 2262).
using UnixNanos = int64_t;

// How an interface's timestamps read: units per second (if_tsresol, 10^6
// by default) and seconds added (if_tsoffset).
struct InterfaceClock {
  uint64_t unitsPerSecond = 1000000;
  int64_t offsetSeconds = 0;
};

// A packet timestamp of `units` of `clock` as Unix nanoseconds, truncated as
// every reader of the format does.
UnixNanos PacketTime(uint64_t units, const InterfaceClock& clock);

// One block as BlockReader gives it. `head` holds its first bytes: all of
// it up to the reader's head limit (kHeadBytes, or its piece of the file
// when smaller), enough for every decision.
struct Block {
  uint64_t offset = 0;  // in the file
  uint32_t type = 0;
  uint32_t length = 0;  // the whole block, both length fields included
  const uint8_t* head = nullptr;
  uint32_t headBytes = 0;
};

// What BlockReader::Next met.
enum class Step {
  kBlock,    // a whole block
  kEnd,      // the file ends after the previous block
  kCut,      // the file ends inside a block (a capture cut short, a full disk)
  kDamaged,  // not pcapng from here on: a bad length or byte-order mark
};

class BlockReader {
 public:
  // Up to this many bytes of a block are at hand in Block::head (fewer when
  // the file is read in smaller pieces); an interface or section header
  // block longer than that is damaged.
  static constexpr uint32_t kHeadBytes = 64 * 1024;
  // The file is read this many bytes at a time unless told otherwise.
  static constexpr uint32_t kReadBytes = 1024 * 1024;
  static constexpr uint32_t kLeastReadBytes = 64;

  // Reads `fd` from `offset`, which must be where a block starts, in pieces
  // of `readBytes` (at least kLeastReadBytes): the memory it holds. Blocks
  // longer than that are passed over by their lengths, never held.
  explicit BlockReader(int fd, uint64_t offset = 0, uint32_t readBytes = kReadBytes);

  // The next block. A section header block sets the byte order and starts a
  // new list of interfaces, an interface block adds its clock to it. The
  // file is read in large pieces, each once; `block.head` stays valid until
  // the next call.
  Step Next(Block& block);

  bool bigEndian() const { return bigEndian_; }
  // The clock of interface `id` of the current section; nullopt when the
  // section has no such interface.
  std::optional<InterfaceClock> Clock(uint32_t id) const;

  // A packet block's interface and timestamp in Unix nanoseconds; nullopt for
  // a block without one (a simple packet block, any other block) or a packet
  // of an interface the section has not described.
  std::optional<UnixNanos> TimeOf(const Block& block) const;

  // Where the block after the last one given starts.
  uint64_t nextOffset() const { return next_; }

 private:
  bool Fill(uint64_t offset, uint32_t want);
  uint32_t Read32(const uint8_t* at) const;
  bool ReadInterface(const Block& block);

  int fd_;
  uint64_t next_;
  std::vector<uint8_t> buffer_;
  uint32_t headLimit_;        // the most of a block Block::head holds
  uint64_t bufferStart_ = 0;  // the file offset of buffer_[0]
  uint32_t bufferBytes_ = 0;
  bool bigEndian_ = false;
  bool inSection_ = false;
  std::vector<InterfaceClock> clocks_;
};

#endif  // VELORANTIS_HELPER_PCAPNG_PCAPNG_BLOCKS_H_
