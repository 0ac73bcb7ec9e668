#include "helper/device/device_lookup.h"

#include "helper/frontend/request.h"
#include "shared/discovery.h"

Status FindRequestedDevice(const Request& request, void*& handle) {
  handle = FindDevice(KeyText(request, Key::kMac));
  if (handle != NoDevice()) return {};
  return Failed(Message::kInvalidMac, NoDeviceCause());
}
