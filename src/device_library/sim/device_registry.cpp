#include "device_registry.h"

#include <map>
#include <mutex>
#include <set>
#include <utility>

namespace velorantis::sim {
namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::pair<std::string, MacAddress>, Device*> by_key;
  std::set<const void*> handles;
};

// Never destroyed: handles must stay valid even while static destructors
// of other libraries run.
Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

}  // namespace

const Device* InternDevice(const std::string& state_dir, const DeviceEntry& entry) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  Device*& device = registry.by_key[{state_dir, entry.mac}];
  if (device == nullptr) {
    device = new Device{state_dir, entry.mac, 0, 0};
    registry.handles.insert(device);
  }
  device->type = entry.type;
  device->fail_ops = entry.fail_ops;
  return device;
}

std::optional<Device> DeviceOf(const void* handle) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (registry.handles.count(handle) == 0) return std::nullopt;
  return *static_cast<const Device*>(handle);
}

}  // namespace velorantis::sim
