#include "pcapng.h"

#include <cstring>

namespace velorantis::sim {
namespace {

constexpr uint32_t kSectionHeaderType = 0x0A0D0D0A;
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr uint32_t kSectionHeaderLength = 28;
constexpr uint32_t kInterfaceDescriptionType = 1;
constexpr uint32_t kInterfaceDescriptionLength = 20;
constexpr uint16_t kLinkTypeEthernet = 1;

template <typename T>
void Put(std::string* out, T value) {
  char bytes[sizeof value];
  std::memcpy(bytes, &value, sizeof value);
  out->append(bytes, sizeof value);
}

}  // namespace

std::string PcapngPreamble(uint32_t snaplen) {
  std::string out;
  Put(&out, kSectionHeaderType);
  Put(&out, kSectionHeaderLength);
  Put(&out, kByteOrderMagic);
  Put<uint16_t>(&out, 1);  // major version
  Put<uint16_t>(&out, 0);  // minor version
  Put<int64_t>(&out, -1);  // section length: not known while capturing
  Put(&out, kSectionHeaderLength);
  Put(&out, kInterfaceDescriptionType);
  Put(&out, kInterfaceDescriptionLength);
  Put(&out, kLinkTypeEthernet);
  Put<uint16_t>(&out, 0);  // reserved
  Put(&out, snaplen);
  Put(&out, kInterfaceDescriptionLength);
  return out;
}

}  // namespace velorantis::sim
