#include "device_scan.h"

#include "VelorantisAPI.h"
#include "device_library/sim/velorantis_sim.h"
#include "shared/device_library.h"
#include "shared/discovery.h"

namespace {

ScannedDevice Scanned(void* handle, const char* mac, const char* model) {
  ScannedDevice device{mac, model, false, 0, 0, 0, 0};
  // Only the simulated library has it; with another one the daemon still
  // runs and reports the capture state alone.
  const auto getCapture = reinterpret_cast<decltype(&VelorantisSimGetCapture)>(
      DeviceLibrarySymbol("VelorantisSimGetCapture"));
  VelorantisSimCapture capture{};
  if (getCapture != nullptr && getCapture(handle, &capture) == 0) {
    device.written = static_cast<int64_t>(capture.written);
    device.cacheused = static_cast<int64_t>(capture.cacheused);
    device.maxcache = static_cast<int64_t>(capture.maxcache);
    device.error = capture.error;
  }
  // The status the back end reads, asked last: a capture that ended in
  // between shows as ended, with its final figures.
  VelorantisAPIDiskDumpStatus status{};
  device.capturing = VelorantisAPIDiskDumpGetStatus(handle, &status) == 0 && status.running != 0;
  if (!device.capturing) device.cacheused = 0;
  return device;
}

}  // namespace

std::vector<ScannedDevice> ScanDevices() {
  std::vector<ScannedDevice> devices;
  ForEachDevice([&](const ListedDevice& device) {
    devices.push_back(Scanned(device.handle, device.macText, device.model));
    return true;
  });
  return devices;
}
