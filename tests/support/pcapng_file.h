// pcapng capture files built block by block, in either byte order, for the
// tests of time windows.
#ifndef VELORANTIS_TESTS_SUPPORT_PCAPNG_FILE_H_
#define VELORANTIS_TESTS_SUPPORT_PCAPNG_FILE_H_

#include <cstdint>
#include <string>

class PcapngFile {
 public:
  // A section header in the given byte order; the blocks after it follow it.
  void Section(bool bigEndian);
  // An interface description; `resolution` is if_tsresol's value (6:
  // microseconds, the default, written as no option; 0x94: 2^-20 s), and
  // `offsetSeconds` if_tsoffset's (0: no option).
  // `linkType` is the interface's pcapng link type (1: Ethernet).
  void Interface(uint8_t resolution = 6, int64_t offsetSeconds = 0, uint16_t linkType = 1);
  // An enhanced packet block of `interface` at `units` of its clock,
  // `bytes` of packet data.
  void Packet(uint32_t interface, uint64_t units, uint32_t bytes = 60);
  // The same with the packet's bytes `data`.
  void Packet(uint32_t interface, uint64_t units, const std::string& data);
  // A block of `type` with `bodyBytes` (a multiple of 4) of zeros: name
  // resolution, interface statistics, a simple packet.
  void Other(uint32_t type, uint32_t bodyBytes);

  const std::string& bytes() const { return bytes_; }

 private:
  void Put32(uint32_t value);
  void Put16(uint16_t value);
  void Begin(uint32_t type);
  void End();

  std::string bytes_;
  bool bigEndian_ = false;
  size_t start_ = 0;
};

#endif  // VELORANTIS_TESTS_SUPPORT_PCAPNG_FILE_H_
