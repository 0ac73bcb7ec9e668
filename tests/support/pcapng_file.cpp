#include "support/pcapng_file.h"

void PcapngFile::Put32(uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    const int shift = bigEndian_ ? 24 - 8 * i : 8 * i;
    bytes_ += static_cast<char>(value >> shift & 0xff);
  }
}

void PcapngFile::Put16(uint16_t value) {
  bytes_ += static_cast<char>(bigEndian_ ? value >> 8 : value & 0xff);
  bytes_ += static_cast<char>(bigEndian_ ? value & 0xff : value >> 8);
}

void PcapngFile::Begin(uint32_t type) {
  start_ = bytes_.size();
  Put32(type);
  Put32(0);  // the length, once known
}

void PcapngFile::End() {
  const auto length = static_cast<uint32_t>(bytes_.size() - start_ + 4);
  Put32(length);
  const std::string tail = bytes_.substr(bytes_.size() - 4);
  bytes_.replace(start_ + 4, 4, tail);
}

void PcapngFile::Section(bool bigEndian) {
  bigEndian_ = bigEndian;
  Begin(0x0A0D0D0A);
  Put32(0x1A2B3C4D);
  Put16(1);
  Put16(0);
  Put32(0xffffffff);  // section length not known
  Put32(0xffffffff);
  End();
}

void PcapngFile::Interface(uint8_t resolution, int64_t offsetSeconds, uint16_t linkType) {
  Begin(1);
  Put16(linkType);
  Put16(0);
  Put32(65535);
  if (resolution != 6) {
    Put16(9);
    Put16(1);
    bytes_ += static_cast<char>(resolution);
    bytes_.append(3, '\0');
  }
  if (offsetSeconds != 0) {
    Put16(14);
    Put16(8);
    const auto offset = static_cast<uint64_t>(offsetSeconds);
    Put32(static_cast<uint32_t>(bigEndian_ ? offset >> 32 : offset));
    Put32(static_cast<uint32_t>(bigEndian_ ? offset : offset >> 32));
  }
  if (resolution != 6 || offsetSeconds != 0) Put32(0);  // end of options
  End();
}

void PcapngFile::Packet(uint32_t interface, uint64_t units, uint32_t bytes) {
  Begin(6);
  Put32(interface);
  Put32(static_cast<uint32_t>(units >> 32));
  Put32(static_cast<uint32_t>(units));
  Put32(bytes);
  Put32(bytes);
  for (uint32_t i = 0; i < bytes; ++i) bytes_ += static_cast<char>(i * 31 + units);
  bytes_.append((4 - bytes % 4) % 4, '\0');
  End();
}

void PcapngFile::Other(uint32_t type, uint32_t bodyBytes) {
  Begin(type);
  bytes_.append(bodyBytes, '\0');
  End();
}

void PcapngFile::Packet(uint32_t interface, uint64_t units, const std::string& data) {
  Begin(6);
  Put32(interface);
  Put32(static_cast<uint32_t>(units >> 32));
  Put32(static_cast<uint32_t>(units));
  Put32(static_cast<uint32_t>(data.size()));
  Put32(static_cast<uint32_t>(data.size()));
  bytes_ += data;
  bytes_.append((4 - data.size() % 4) % 4, '\0');
  End();
}
