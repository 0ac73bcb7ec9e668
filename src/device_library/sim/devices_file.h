// The `devices` file: which devices the simulator pretends are attached.
#ifndef VELORANTIS_SIM_DEVICES_FILE_H_
#define VELORANTIS_SIM_DEVICES_FILE_H_

#include <string>
#include <string_view>
#include <vector>

#include "mac_address.h"

namespace velorantis::sim {

// Operations a `fail=` option can make fail, as bits of DeviceEntry::fail_ops.
enum FailOp : unsigned {
  kFailType = 1u << 0,
  kFailMac = 1u << 1,
  kFailFeatures = 1u << 2,
  kFailStatus = 1u << 3,
  kFailConfig = 1u << 4,
  kFailStart = 1u << 5,
  kFailStop = 1u << 6,
};

struct DeviceEntry {
  MacAddress mac;
  int type;
  int appear;         // listed from this GetDevicesList call of the process on
  unsigned fail_ops;  // FailOp bits
};

struct DevicesFileError {
  int line;  // 1-based
  std::string reason;
};

struct DevicesFile {
  std::vector<DeviceEntry> entries;  // in file order
  std::vector<DevicesFileError> errors;
};

// Malformed lines land in `errors` and add no entry; the rest still count.
DevicesFile ParseDevicesFile(std::string_view text);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_DEVICES_FILE_H_
