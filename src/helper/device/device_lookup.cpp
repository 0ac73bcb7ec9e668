#include "helper/device/device_lookup.h"

#include "helper/frontend/request_keys.h"
#include "shared/discovery.h"

Status FindRequestedDevice(void*& handle) {
  handle = FindDevice(KeyText(Key::kMac));
  if (handle != NoDevice()) return {};
  return Failed(Message::kInvalidMac, NoDeviceCause());
}
