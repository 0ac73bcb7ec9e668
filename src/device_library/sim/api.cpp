// The maker's operations, simulated. Each does its work, then logs one line
// to calls.log with the result it returns.
#include "VelorantisAPI.h"

#include <time.h>

#include <cerrno>
#include <optional>
#include <string>

#include "calls_log.h"
#include "capture.h"
#include "device_files.h"
#include "device_list.h"
#include "device_registry.h"
#include "export.h"
#include "settings_text.h"
#include "state_dir.h"

namespace velorantis::sim {
namespace {

void LogCall(std::string_view operation, int result, std::string_view fields = {}) {
  AppendCall(ResolveStateDir(), FormatCall(operation, result, nullptr, fields));
}

// A device's calls go to the log of the directory that listed it; a handle
// the library never gave out is logged without a MAC.
void LogDeviceCall(const std::optional<Device>& device, std::string_view operation, int result,
                   std::string_view fields = {}) {
  if (!device) return LogCall(operation, result, fields);
  AppendCall(device->state_dir, FormatCall(operation, result, &device->mac, fields));
}

// The device behind `handle` if it may do `op`, which `fail=` can forbid.
std::optional<Device> UsableDevice(const std::optional<Device>& device, unsigned op) {
  if (!device || (device->fail_ops & op) != 0) return std::nullopt;
  return device;
}

void Sleep(uint32_t ms) {
  timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace
}  // namespace velorantis::sim

using namespace velorantis::sim;

extern "C" {

VELORANTIS_SIM_EXPORT int VelorantisAPIInitialize(void) {
  LogCall("Initialize", 0);
  return 0;
}

VELORANTIS_SIM_EXPORT VelorantisAPIDeviceList* VelorantisAPIGetDevicesList(void) {
  const std::string state_dir = ResolveStateDir();
  VelorantisAPIDeviceList* list = NewDeviceList(state_dir);
  AppendCall(state_dir,
             FormatCall("GetDevicesList", 0, nullptr, "count=" + std::to_string(list->count)));
  return list;
}

VELORANTIS_SIM_EXPORT void VelorantisApiDeviceListFree(VelorantisAPIDeviceList* list) {
  DeleteDeviceList(list);
  LogCall("DeviceListFree", 0);
}

VELORANTIS_SIM_EXPORT void VelorantisApiSleepMs(uint32_t ms) {
  Sleep(ms);
  LogCall("SleepMs", 0, "ms=" + std::to_string(ms));
}

VELORANTIS_SIM_EXPORT int VelorantisAPIGetDeviceType(void* handle, int* type) {
  const std::optional<Device> device = DeviceOf(handle);
  if (type == nullptr || !UsableDevice(device, kFailType)) {
    LogDeviceCall(device, "GetDeviceType", 1);
    return 1;
  }
  *type = device->type;
  LogDeviceCall(device, "GetDeviceType", 0, "type=" + std::to_string(device->type));
  return 0;
}

VELORANTIS_SIM_EXPORT int VelorantisAPIGetDeviceMAC(void* handle, uint8_t mac[6]) {
  const std::optional<Device> device = DeviceOf(handle);
  const int result = mac != nullptr && UsableDevice(device, kFailMac) ? 0 : 1;
  if (result == 0) std::copy(device->mac.begin(), device->mac.end(), mac);
  LogDeviceCall(device, "GetDeviceMAC", result);
  return result;
}

VELORANTIS_SIM_EXPORT int VelorantisAPISetDeviceFeatures(void* handle,
                                                         VelorantisAPIDeviceFeatures features) {
  const std::optional<Device> device = DeviceOf(handle);
  const std::string fields = FeaturesFields(features);
  const std::optional<Device> usable = UsableDevice(device, kFailFeatures);
  const int result = usable && SaveDeviceFile(*usable, "features", fields) ? 0 : 1;
  LogDeviceCall(device, "SetDeviceFeatures", result, fields);
  return result;
}

VELORANTIS_SIM_EXPORT int VelorantisAPIDiskDumpGetStatus(void* handle,
                                                         VelorantisAPIDiskDumpStatus* status) {
  const std::optional<Device> device = DeviceOf(handle);
  if (status == nullptr || !UsableDevice(device, kFailStatus)) {
    LogDeviceCall(device, "DiskDumpGetStatus", 1);
    return 1;
  }
  *status = VelorantisAPIDiskDumpStatus{};
  status->running = CaptureRunning(*device) ? 1 : 0;
  LogDeviceCall(device, "DiskDumpGetStatus", 0, status->running != 0 ? "running=1" : "running=0");
  return 0;
}

VELORANTIS_SIM_EXPORT int VelorantisAPIDiskDumpSetConfig(void* handle,
                                                         VelorantisAPIDiskDumpConfig config) {
  const std::optional<Device> device = DeviceOf(handle);
  const std::optional<Device> usable = UsableDevice(device, kFailConfig);
  const int result = usable && SaveDeviceFile(*usable, "config", ConfigStateText(config)) ? 0 : 1;
  LogDeviceCall(device, "DiskDumpSetConfig", result, ConfigFields(config));
  return result;
}

VELORANTIS_SIM_EXPORT int VelorantisAPIDiskDumpStart(void* handle) {
  const std::optional<Device> device = DeviceOf(handle);
  const std::optional<Device> usable = UsableDevice(device, kFailStart);
  const int result = usable && BeginCapture(*usable) ? 0 : 1;
  LogDeviceCall(device, "DiskDumpStart", result);
  return result;
}

VELORANTIS_SIM_EXPORT int VelorantisAPIDiskDumpStop(void* handle) {
  const std::optional<Device> device = DeviceOf(handle);
  const std::optional<Device> usable = UsableDevice(device, kFailStop);
  const int result = usable && EndCapture(*usable) ? 0 : 1;
  LogDeviceCall(device, "DiskDumpStop", result);
  return result;
}

}  // extern "C"
