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

// The shape of every device operation: looks the handle up, lets `act` run
// when the arguments are good and the device may do `op`, and logs one line
// with the result and the fields `act` leaves in `fields` (which start as
// given, for operations that log their input whatever the outcome).
template <typename Act>
int DeviceOperation(void* handle, unsigned op, std::string_view operation, bool arguments_ok,
                    Act act, std::string fields = {}) {
  const std::optional<Device> device = DeviceOf(handle);
  const std::optional<Device> usable = arguments_ok ? UsableDevice(device, op) : std::nullopt;
  const int result = usable && act(*usable, fields) ? 0 : 1;
  LogDeviceCall(device, operation, result, fields);
  return result;
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
  return DeviceOperation(handle, kFailType, "GetDeviceType", type != nullptr,
                         [&](const Device& device, std::string& fields) {
                           *type = device.type;
                           fields = "type=" + std::to_string(device.type);
                           return true;
                         });
}

VELORANTIS_SIM_EXPORT int VelorantisAPIGetDeviceMAC(void* handle, uint8_t mac[6]) {
  return DeviceOperation(handle, kFailMac, "GetDeviceMAC", mac != nullptr,
                         [&](const Device& device, std::string&) {
                           std::copy(device.mac.begin(), device.mac.end(), mac);
                           return true;
                         });
}

VELORANTIS_SIM_EXPORT int VelorantisAPISetDeviceFeatures(void* handle,
                                                         VelorantisAPIDeviceFeatures features) {
  return DeviceOperation(
      handle, kFailFeatures, "SetDeviceFeatures", true,
      [](const Device& device, std::string& fields) {
        return SaveDeviceFile(device, kFeaturesFile, fields);
      },
      FeaturesFields(features));
}

VELORANTIS_SIM_EXPORT int VelorantisAPIDiskDumpGetStatus(void* handle,
                                                         VelorantisAPIDiskDumpStatus* status) {
  return DeviceOperation(handle, kFailStatus, "DiskDumpGetStatus", status != nullptr,
                         [&](const Device& device, std::string& fields) {
                           *status = VelorantisAPIDiskDumpStatus{};
                           status->running = CaptureRunning(device) ? 1 : 0;
                           fields = status->running != 0 ? "running=1" : "running=0";
                           return true;
                         });
}

VELORANTIS_SIM_EXPORT int VelorantisAPIDiskDumpSetConfig(void* handle,
                                                         VelorantisAPIDiskDumpConfig config) {
  return DeviceOperation(
      handle, kFailConfig, "DiskDumpSetConfig", true,
      [&](const Device& device, std::string&) {
        return SaveDeviceFile(device, kConfigFile, ConfigStateText(config));
      },
      ConfigFields(config));
}

VELORANTIS_SIM_EXPORT int VelorantisAPIDiskDumpStart(void* handle) {
  return DeviceOperation(handle, kFailStart, "DiskDumpStart", true,
                         [](const Device& device, std::string&) { return BeginCapture(device); });
}

VELORANTIS_SIM_EXPORT int VelorantisAPIDiskDumpStop(void* handle) {
  return DeviceOperation(handle, kFailStop, "DiskDumpStop", true,
                         [](const Device& device, std::string&) { return EndCapture(device); });
}

}  // extern "C"
