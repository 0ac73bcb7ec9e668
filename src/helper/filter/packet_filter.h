// A capture filter in libpcap's language, compiled by libpcap for each link
// type it meets and run on each packet: the program has no filter language
// of its own. Nothing of libpcap shows here.
#ifndef VELORANTIS_HELPER_FILTER_PACKET_FILTER_H_
#define VELORANTIS_HELPER_FILTER_PACKET_FILTER_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "shared/status.h"

// One expression compiled for one link type (libpcap's program).
struct FilterCode;

class PacketFilter {
 public:
  // `expression` empty: every packet matches, nothing is compiled.
  explicit PacketFilter(std::string expression = {});
  ~PacketFilter();
  PacketFilter(const PacketFilter&) = delete;
  PacketFilter& operator=(const PacketFilter&) = delete;

  bool empty() const { return expression_.empty(); }
  const std::string& expression() const { return expression_; }

  // The expression compiled for pcapng link type `linkType`, compiled on
  // the first ask; null when it cannot be (Error then says why), and for an
  // empty filter.
  const FilterCode* For(uint32_t linkType);

  // Whether the filter compiled for at least one link type asked so far.
  bool compiledAny() const { return compiledAny_; }
  // libpcap's text for the first link type it could not compile for.
  const std::string& firstError() const { return firstError_; }

  // Whether the packet `data` (`captured` bytes at hand of `wire` on the
  // wire) passes `code`. A filter that reads past the bytes at hand refuses.
  static bool Matches(const FilterCode& code, const uint8_t* data, uint32_t captured,
                      uint32_t wire);

 private:
  std::string expression_;
  std::map<uint32_t, std::unique_ptr<FilterCode>> compiled_;  // null: does not compile
  bool compiledAny_ = false;
  std::string firstError_;
};

// Fails with kInvalidFilter and libpcap's text when `filter` compiled for
// none of the link types it was asked for; a filter asked for none is
// compiled for Ethernet, so that bad syntax is refused all the same.
Status CheckFilter(PacketFilter& filter);

#endif  // VELORANTIS_HELPER_FILTER_PACKET_FILTER_H_
