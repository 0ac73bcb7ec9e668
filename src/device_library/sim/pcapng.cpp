#include "pcapng.h"

#include <algorithm>
#include <cstring>

namespace velorantis::sim {
namespace {

constexpr uint32_t kSectionHeaderType = 0x0A0D0D0A;
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr uint32_t kInterfaceDescriptionType = 1;
constexpr uint32_t kEnhancedPacketType = 6;
constexpr uint16_t kLinkTypeEthernet = 1;
constexpr uint16_t kOptionEnd = 0;
constexpr uint16_t kOptionName = 2;          // if_name
constexpr uint16_t kOptionTsResolution = 9;  // if_tsresol
constexpr uint8_t kNanoseconds = 9;          // 10^-9 s

template <typename T>
void Put(std::string* out, T value) {
  char bytes[sizeof value];
  std::memcpy(bytes, &value, sizeof value);
  out->append(bytes, sizeof value);
}

void PadToWord(std::string* out) { out->append((4 - out->size() % 4) % 4, '\0'); }

void PutOption(std::string* out, uint16_t code, std::string_view value) {
  Put(out, code);
  Put(out, static_cast<uint16_t>(value.size()));
  out->append(value);
  PadToWord(out);
}

// `body` framed as a block: type, total length, body, total length again.
std::string Block(uint32_t type, std::string_view body) {
  const auto length = static_cast<uint32_t>(body.size() + 12);
  std::string out;
  out.reserve(length);
  Put(&out, type);
  Put(&out, length);
  out.append(body);
  Put(&out, length);
  return out;
}

std::string SectionHeader() {
  std::string body;
  Put(&body, kByteOrderMagic);
  Put<uint16_t>(&body, 1);  // major version
  Put<uint16_t>(&body, 0);  // minor version
  Put<int64_t>(&body, -1);  // section length: not known while capturing
  return Block(kSectionHeaderType, body);
}

std::string InterfaceDescription(uint32_t port, uint32_t snaplen) {
  std::string body;
  Put(&body, kLinkTypeEthernet);
  Put<uint16_t>(&body, 0);  // reserved
  Put(&body, snaplen);
  PutOption(&body, kOptionName, "port" + std::to_string(port + 1));
  PutOption(&body, kOptionTsResolution, std::string(1, static_cast<char>(kNanoseconds)));
  Put(&body, kOptionEnd);
  Put<uint16_t>(&body, 0);
  return Block(kInterfaceDescriptionType, body);
}

}  // namespace

std::string PcapngHeader(uint32_t snaplen) {
  std::string out = SectionHeader();
  for (uint32_t port = 0; port < kPorts; ++port) out += InterfaceDescription(port, snaplen);
  return out;
}

std::string PcapngPacket(uint32_t port, uint64_t nanoseconds, std::string_view frame,
                         uint32_t snaplen) {
  const std::string_view kept = frame.substr(0, std::min<size_t>(frame.size(), snaplen));
  std::string body;
  body.reserve(20 + kept.size() + 3);
  Put(&body, port);
  Put(&body, static_cast<uint32_t>(nanoseconds >> 32));
  Put(&body, static_cast<uint32_t>(nanoseconds));
  Put(&body, static_cast<uint32_t>(kept.size()));
  Put(&body, static_cast<uint32_t>(frame.size()));
  body.append(kept);
  PadToWord(&body);
  return Block(kEnhancedPacketType, body);
}

}  // namespace velorantis::sim
