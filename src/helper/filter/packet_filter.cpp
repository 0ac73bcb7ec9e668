#include "helper/filter/packet_filter.h"

#include <utility>

#ifdef VELORANTIS_NO_LIBPCAP
// A build without libpcap for its target: no filter compiles.
struct FilterCode {};

namespace {

std::unique_ptr<FilterCode> Compile(const std::string&, uint32_t, std::string& error) {
  error = "this build has no libpcap";
  return nullptr;
}

bool Run(const FilterCode&, const uint8_t*, uint32_t, uint32_t) { return false; }

#else
#include <pcap/pcap.h>

// libpcap's program; freed with it.
struct FilterCode {
  bpf_program program{};
  ~FilterCode() { pcap_freecode(&program); }
};

namespace {

// The largest packet libpcap's programs expect.
constexpr int kSnapLength = 262144;

// libpcap's DLT_ value for a pcapng LINKTYPE_ value: the same number but
// for the few that different systems numbered differently.
int DataLinkOf(uint32_t linkType) {
  switch (linkType) {
    case 100: return DLT_ATM_RFC1483;
    case 101: return DLT_RAW;
    case 102: return DLT_SLIP_BSDOS;
    case 103: return DLT_PPP_BSDOS;
    default: return static_cast<int>(linkType);
  }
}

// The expression compiled for `linkType`, or null with libpcap's text.
std::unique_ptr<FilterCode> Compile(const std::string& expression, uint32_t linkType,
                                    std::string& error) {
  pcap_t* dead = pcap_open_dead(DataLinkOf(linkType), kSnapLength);
  if (dead == nullptr) {
    error = "cannot compile for link type " + std::to_string(linkType);
    return nullptr;
  }
  auto code = std::make_unique<FilterCode>();
  if (pcap_compile(dead, &code->program, expression.c_str(), 1, PCAP_NETMASK_UNKNOWN) != 0) {
    error = pcap_geterr(dead);
    code.reset();
  }
  pcap_close(dead);
  return code;
}

bool Run(const FilterCode& code, const uint8_t* data, uint32_t captured, uint32_t wire) {
  return bpf_filter(code.program.bf_insns, data, wire, captured) != 0;
}

#endif
constexpr uint32_t kLinkTypeEthernet = 1;

}  // namespace

PacketFilter::PacketFilter(std::string expression) : expression_(std::move(expression)) {}

PacketFilter::~PacketFilter() = default;

const FilterCode* PacketFilter::For(uint32_t linkType) {
  if (expression_.empty()) return nullptr;
  const auto known = compiled_.find(linkType);
  if (known != compiled_.end()) return known->second.get();
  std::string error;
  std::unique_ptr<FilterCode>& code = compiled_[linkType];
  code = Compile(expression_, linkType, error);
  if (code) {
    compiledAny_ = true;
  } else if (firstError_.empty()) {
    firstError_ = error;
  }
  return code.get();
}

bool PacketFilter::Matches(const FilterCode& code, const uint8_t* data, uint32_t captured,
                           uint32_t wire) {
  return Run(code, data, captured, wire);
}

Status CheckFilter(PacketFilter& filter) {
  if (filter.empty() || filter.compiledAny()) return {};
  if (filter.firstError().empty() && filter.For(kLinkTypeEthernet) != nullptr) return {};
  return FailedWithDetail(Message::kInvalidFilter, filter.firstError());
}
