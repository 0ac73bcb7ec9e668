#include "frames.h"

#include "splitmix64.h"

namespace velorantis::sim {
namespace {

constexpr size_t kEthernetHeader = 14;
constexpr size_t kIpv4Header = 20;
constexpr size_t kUdpHeader = 8;
constexpr size_t kTcpHeader = 20;
constexpr uint8_t kProtocolTcp = 6;
constexpr uint8_t kProtocolUdp = 17;

// A draw in [low, high].
size_t Between(uint64_t draw, size_t low, size_t high) { return low + draw % (high - low + 1); }

size_t FrameLength(uint64_t draw, size_t smallest) {
  const uint64_t share = draw % 100;
  if (share < 10) return Between(draw >> 8, smallest, 63);
  if (share < 95) return Between(draw >> 8, 64, 1518);
  return Between(draw >> 8, 1519, 9000);
}

void PutBig16(std::string* out, size_t at, uint32_t value) {
  (*out)[at] = static_cast<char>(value >> 8);
  (*out)[at + 1] = static_cast<char>(value);
}

uint16_t HeaderChecksum(const std::string& frame, size_t at) {
  uint32_t sum = 0;
  for (size_t i = at; i < at + kIpv4Header; i += 2) {
    sum += static_cast<uint32_t>(static_cast<uint8_t>(frame[i]) << 8 |
                                 static_cast<uint8_t>(frame[i + 1]));
  }
  while (sum > 0xffff) sum = (sum & 0xffff) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

// Hosts 10.0.0.1 to 10.0.0.8 with locally administered MACs to match.
void PutHost(std::string* frame, size_t mac_at, size_t ip_at, uint8_t host) {
  const char mac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, static_cast<char>(host)};
  frame->replace(mac_at, 6, mac, 6);
  const char ip[4] = {10, 0, 0, static_cast<char>(host)};
  frame->replace(ip_at, 4, ip, 4);
}

}  // namespace

Frame SyntheticFrame(uint64_t number) {
  const uint64_t draw = SplitMix64(number);
  const bool tcp = (draw >> 40) % 3 == 0;
  const size_t transport = tcp ? kTcpHeader : kUdpHeader;
  const size_t length = FrameLength(draw, kEthernetHeader + kIpv4Header + transport);
  std::string frame(length, '\0');
  const uint8_t source = static_cast<uint8_t>(1 + (draw >> 48) % 8);
  const uint8_t target = static_cast<uint8_t>(1 + (source + (draw >> 52) % 7) % 8);
  constexpr size_t ip = kEthernetHeader;
  PutHost(&frame, 0, ip + 16, target);
  PutHost(&frame, 6, ip + 12, source);
  PutBig16(&frame, 12, 0x0800);  // IPv4
  frame[ip] = 0x45;              // version 4, five words of header
  PutBig16(&frame, ip + 2, static_cast<uint32_t>(length - kEthernetHeader));
  PutBig16(&frame, ip + 4, static_cast<uint32_t>(number));  // identification
  frame[ip + 8] = 64;                                       // time to live
  frame[ip + 9] = static_cast<char>(tcp ? kProtocolTcp : kProtocolUdp);
  const size_t ports = ip + kIpv4Header;
  PutBig16(&frame, ports, 1024 + static_cast<uint32_t>(draw >> 20) % 60000);
  PutBig16(&frame, ports + 2, tcp ? 443 : 9);  // HTTPS, or discard
  if (tcp) {
    frame[ports + 12] = 0x50;             // five words of header
    frame[ports + 13] = 0x18;             // PSH, ACK
    PutBig16(&frame, ports + 14, 65535);  // window
  } else {
    PutBig16(&frame, ports + 4, static_cast<uint32_t>(length - ports));
  }
  PutBig16(&frame, ip + 10, HeaderChecksum(frame, ip));
  for (size_t i = ports + transport; i < length; ++i) frame[i] = static_cast<char>('a' + i % 26);
  return {static_cast<uint32_t>((draw >> 60) & 1), std::move(frame)};
}

}  // namespace velorantis::sim
