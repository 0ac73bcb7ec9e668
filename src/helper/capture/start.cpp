#include "helper/capture/capture_commands.h"

#include <string>

#include "VelorantisAPI.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/response.h"
#include "helper/lock/change_lock.h"
#include "helper/records/capture_records.h"
#include "shared/discovery.h"

namespace {

constexpr char kCaptureFileName[] = "/Velorantis.pcapng";

// The directory is taken as given: a trailing slash yields a double slash,
// an empty one the file name alone. Its length is not limited here; the
// path is allocated whole and a library that cannot create it refuses the
// start.
VelorantisAPIDiskDumpConfig DiskDumpConfigFor(const char* output, CaptureSettings& settings) {
  settings.destination = std::string(output) + kCaptureFileName;
  VelorantisAPIDeviceFeatures unused{};
  VelorantisAPIDiskDumpConfig config{};
  FillRecords(settings, unused, config);
  return config;
}

// A running capture is left alone, its configuration included.
const char* CheckIdle(void* handle) {
  VelorantisAPIDiskDumpStatus status{};
  if (VelorantisAPIDiskDumpGetStatus(handle, &status) != 0) return "Failed to get capture status";
  return status.running != 0 ? "Capture is already running" : nullptr;
}

const char* StartOnDevice() {
  void* handle = FindDevice(getvar("mac"));
  if (handle == NoDevice()) return "Invalid MAC address";
  const char* output = nullptr;
  if (const char* failure = ReadOutput(output)) return failure;
  CaptureSettings settings;
  if (const char* failure = ReadDiskDumpSettings(settings)) return failure;
  const VelorantisAPIDiskDumpConfig config = DiskDumpConfigFor(output, settings);
  // From the status check to the start no other request reaches the device:
  // two starts would both find it idle, and the loser's configuration would
  // reach the winner's capture.
  ChangeLock lock;
  if (const char* failure = LockChanges(lock, program_paths.lockFile)) return failure;
  if (const char* failure = CheckIdle(handle)) return failure;
  if (VelorantisAPIDiskDumpSetConfig(handle, config) != 0) {
    return "Failed to set capture configuration";
  }
  if (VelorantisAPIDiskDumpStart(handle) != 0) return "Failed to start capture";
  return nullptr;
}

}  // namespace

int StartCapture(ResponseBody& body) {
  WriteOutcome(body.text, StartOnDevice());
  return 0;
}
