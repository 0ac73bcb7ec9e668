// calls.log: one line per operation, so tests and web developers can see what
// the back end asked of the devices.
#ifndef VELORANTIS_SIM_CALLS_LOG_H_
#define VELORANTIS_SIM_CALLS_LOG_H_

#include <string>
#include <string_view>

#include "mac_address.h"

namespace velorantis::sim {

// "OPERATION RESULT [MAC] [FIELDS]\n". `fields` is already "key=value ..."
// text; `mac` may be null for operations without a device.
std::string FormatCall(std::string_view operation, int result, const MacAddress* mac,
                       std::string_view fields);

// Appends with one write(2) on an O_APPEND descriptor, so lines from
// concurrent processes never interleave. A log that cannot be written is
// silently skipped: logging must not change what the operation does.
void AppendCall(const std::string& state_dir, std::string_view line);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_CALLS_LOG_H_
