#include "helper/capture/capture_commands.h"

#include <string>

#include "VelorantisAPI.h"
#include "helper/capture/capture_file.h"
#include "helper/capture/start_ledger.h"
#include "helper/config/config_store.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/response.h"
#include "helper/ledger/capture_ends.h"
#include "helper/ledger/ledger_store.h"
#include "helper/lock/device_request_lock.h"
#include "helper/records/capture_records.h"
#include "shared/discovery.h"
#include "shared/paths.h"

namespace {

constexpr char kCaptureFileName[] = "/Velorantis.pcapng";

// The path's length is not limited here; it is allocated whole and a library
// that cannot create it refuses the start.
VelorantisAPIDiskDumpConfig DiskDumpConfigFor(const std::string& file,
                                              const RequestSettings& settings) {
  VelorantisAPIDiskDumpConfig config{};
  config.destination = WidenDestination(file.c_str());
  SetDiskDumpNumbers(config, settings);
  SetFixedDiskDumpFields(config);
  return config;
}

// A running capture is left alone, its configuration included.
const char* CheckIdle(void* handle) {
  VelorantisAPIDiskDumpStatus status{};
  if (VelorantisAPIDiskDumpGetStatus(handle, &status) != 0) return "Failed to get capture status";
  return status.running != 0 ? "Capture is already running" : nullptr;
}

// The stored inline mode and slicing go with every capture, so that what
// getconfig shows is what the device records.
const char* StartWith(void* handle, const VelorantisAPIDeviceFeatures& features,
                      const VelorantisAPIDiskDumpConfig& config) {
  if (VelorantisAPISetDeviceFeatures(handle, features) != 0) return "Failed to set device features";
  if (VelorantisAPIDiskDumpSetConfig(handle, config) != 0) {
    return "Failed to set capture configuration";
  }
  if (VelorantisAPIDiskDumpStart(handle) != 0) return "Failed to start capture";
  return nullptr;
}

const char* StartOnDevice(const char* lockFile, const char* configDb) {
  void* handle = FindDevice(getvar("mac"));
  if (handle == NoDevice()) return "Invalid MAC address";
  const char* output = nullptr;
  if (const char* failure = ReadOutput(output)) return failure;
  RequestSettings settings;
  if (const char* failure = ReadDiskDumpSettings(settings)) return failure;
  // The directory is taken as given: a trailing slash yields a double slash,
  // an empty one the file name alone.
  const std::string file = output + std::string(kCaptureFileName);
  if (const char* failure = CheckDestination(output, file)) return failure;
  const VelorantisAPIDiskDumpConfig config = DiskDumpConfigFor(file, settings);
  // From the status check to the start no other request reaches the device:
  // two starts would both find it idle, and the loser's configuration would
  // reach the winner's capture.
  DeviceRequestLock lock;
  if (const char* failure = LockDeviceRequests(lock, lockFile)) return failure;
  if (const char* failure = CheckIdle(handle)) return failure;
  VelorantisAPIDeviceFeatures features{};
  VelorantisAPIDiskDumpConfig stored{};
  if (LoadConfiguration(configDb, features, stored) != 0) {
    return "Cannot load configuration from database";
  }
  const std::string mac = MacTextOf(handle);
  Connection ledger = OpenLedger(configDb);
  NoteCapturesEnded(ledger.get(), mac);
  if (const char* failure = ClaimCaptureFile(ledger.get(), mac, file)) return failure;
  const char* failure = StartWith(handle, features, config);
  RecordStart(ledger.get(), mac, file, features, config, failure == nullptr);
  return failure;
}

}  // namespace

int StartCapture(ResponseBody& body) {
  return StartCapture(body.text, kDeviceLockPath, kConfigDatabasePath);
}

int StartCapture(std::string& out, const char* lockFile, const char* configDb) {
  WriteOutcome(out, StartOnDevice(lockFile, configDb));
  return 0;
}
