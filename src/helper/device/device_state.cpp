#include "helper/device/device_state.h"

#include "VelorantisAPI.h"
#include "shared/discovery.h"

int CaptureStateOf(void* handle) {
  VelorantisAPIDiskDumpStatus status{};
  if (VelorantisAPIDiskDumpGetStatus(handle, &status) != 0) return -1;
  return status.running != 0 ? 1 : 0;
}

std::string MacTextOf(void* handle) {
  char model[kDeviceTextSize];
  char macText[kDeviceTextSize];
  if (GetDeviceInfo(handle, model, macText) != 0) return "";
  return macText;
}

DeviceNow DeviceStateOf(const std::string& mac) {
  void* handle = GetDeviceHandle(mac.c_str());
  if (handle == NoDevice()) return DeviceNow::kGone;
  switch (CaptureStateOf(handle)) {
    case 1:
      return DeviceNow::kCapturing;
    case 0:
      return DeviceNow::kIdle;
    default:
      return DeviceNow::kUnknown;
  }
}
