#include "mac_address.h"

namespace velorantis::sim {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Format(const MacAddress& mac, bool colons) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < mac.size(); ++i) {
    if (colons && i > 0) text += ':';
    text += kDigits[mac[i] >> 4];
    text += kDigits[mac[i] & 0xf];
  }
  return text;
}

}  // namespace

std::optional<MacAddress> ParseMac(std::string_view text) {
  // Colons, when present, must sit between every pair: "aabb:ccddeeff" is a
  // typo, not an address.
  const bool colons = text.size() == 17;
  if (!colons && text.size() != 12) return std::nullopt;
  const size_t stride = colons ? 3 : 2;
  MacAddress mac{};
  for (size_t i = 0; i < mac.size(); ++i) {
    const size_t at = i * stride;
    if (colons && i > 0 && text[at - 1] != ':') return std::nullopt;
    const int high = HexValue(text[at]);
    const int low = HexValue(text[at + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    mac[i] = static_cast<uint8_t>(high << 4 | low);
  }
  return mac;
}

std::string MacWithColons(const MacAddress& mac) { return Format(mac, true); }

std::string MacDigits(const MacAddress& mac) { return Format(mac, false); }

}  // namespace velorantis::sim
