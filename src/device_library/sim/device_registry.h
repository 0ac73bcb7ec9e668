// The simulated devices a process has seen. Their records are the handles
// the back end holds, so they live as long as the process.
#ifndef VELORANTIS_SIM_DEVICE_REGISTRY_H_
#define VELORANTIS_SIM_DEVICE_REGISTRY_H_

#include <optional>
#include <string>

#include "devices_file.h"
#include "mac_address.h"

namespace velorantis::sim {

struct Device {
  std::string state_dir;  // the directory whose devices file listed it
  MacAddress mac;
  int type;
  unsigned fail_ops;  // FailOp bits
};

// The one record for this MAC in this state directory, created on first
// sight and refreshed from `entry` on every later one.
const Device* InternDevice(const std::string& state_dir, const DeviceEntry& entry);

// A copy of the record behind a handle; none for a handle this library never
// gave out. A copy, because a concurrent list call may refresh the record.
std::optional<Device> DeviceOf(const void* handle);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_DEVICE_REGISTRY_H_
