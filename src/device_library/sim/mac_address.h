// Six-byte hardware addresses and their text forms.
#ifndef VELORANTIS_SIM_MAC_ADDRESS_H_
#define VELORANTIS_SIM_MAC_ADDRESS_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velorantis::sim {

using MacAddress = std::array<uint8_t, 6>;

// Accepts twelve hex digits, either bare or as six colon-separated pairs, in
// either case.
std::optional<MacAddress> ParseMac(std::string_view text);

// "aa:bb:cc:dd:ee:ff": the form the calls log shows.
std::string MacWithColons(const MacAddress& mac);

// "aabbccddeeff": the form that names the device's state files.
std::string MacDigits(const MacAddress& mac);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_MAC_ADDRESS_H_
