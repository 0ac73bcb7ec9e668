#include "device_scan.h"

#include "VelorantisAPI.h"
#include "shared/discovery.h"

namespace {

bool Capturing(void* handle) {
  VelorantisAPIDiskDumpStatus status{};
  return VelorantisAPIDiskDumpGetStatus(handle, &status) == 0 && status.running != 0;
}

}  // namespace

std::vector<ScannedDevice> ScanDevices() {
  std::vector<ScannedDevice> devices;
  VelorantisAPIDeviceList* list = VelorantisAPIGetDevicesList();
  for (VelorantisAPIDeviceListNode* node = list->first; node != nullptr; node = node->next) {
    char model[kDeviceTextSize];
    char macText[kDeviceTextSize];
    if (GetDeviceInfo(node->handle, model, macText) != 0) continue;
    devices.push_back({macText, model, Capturing(node->handle)});
  }
  VelorantisApiDeviceListFree(list);
  return devices;
}
