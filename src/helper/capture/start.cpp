#include "helper/capture/capture_commands.h"

#include <optional>
#include <string>

#include "VelorantisAPI.h"
#include "helper/capture/capture_file.h"
#include "helper/capture/start_ledger.h"
#include "helper/config/config_store.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/response.h"
#include "helper/ledger/capture_ends.h"
#include "helper/lock/change_lock.h"
#include "helper/records/capture_records.h"
#include "shared/discovery.h"

namespace {

constexpr char kCaptureFileName[] = "/Velorantis.pcapng";
constexpr char kCannotLoad[] = "Cannot load configuration from database";

// A running capture is left alone, its configuration included.
const char* CheckIdle(void* handle) {
  VelorantisAPIDiskDumpStatus status{};
  if (const int rc = VelorantisAPIDiskDumpGetStatus(handle, &status); rc != 0) {
    RecordLibraryFailure("VelorantisAPIDiskDumpGetStatus", rc);
    return "Failed to get capture status";
  }
  if (status.running == 0) return nullptr;
  RecordFailureCause("VelorantisAPIDiskDumpGetStatus reports a capture running");
  return "Capture is already running";
}

// The stored inline mode and slicing go with every capture, so that what
// getconfig shows is what the device records.
const char* AddStoredFeatures(CaptureSettings& settings) {
  VelorantisAPIDeviceFeatures features{};
  VelorantisAPIDiskDumpConfig config{};
  if (LoadConfiguration(program_paths.configDb, features, config) != 0) return kCannotLoad;
  const std::optional<CaptureSettings> stored = SettingsOf(features, config);
  if (!stored) return kCannotLoad;
  settings.inlineMode = stored->inlineMode;
  settings.slicing = stored->slicing;
  settings.sliceBytes = stored->sliceBytes;
  return nullptr;
}

// The path's length is not limited here; it is allocated whole and a library
// that cannot create it refuses the start.
const char* StartWith(void* handle, const CaptureSettings& settings) {
  VelorantisAPIDeviceFeatures features{};
  VelorantisAPIDiskDumpConfig config{};
  FillRecords(settings, features, config);
  if (const int rc = VelorantisAPISetDeviceFeatures(handle, features); rc != 0) {
    RecordLibraryFailure("VelorantisAPISetDeviceFeatures", rc);
    return "Failed to set device features";
  }
  if (const int rc = VelorantisAPIDiskDumpSetConfig(handle, config); rc != 0) {
    RecordLibraryFailure("VelorantisAPIDiskDumpSetConfig", rc);
    return "Failed to set capture configuration";
  }
  if (const int rc = VelorantisAPIDiskDumpStart(handle); rc != 0) {
    RecordLibraryFailure("VelorantisAPIDiskDumpStart", rc);
    return "Failed to start capture";
  }
  return nullptr;
}

const char* StartOnDevice() {
  void* handle = FindDevice(getvar("mac"));
  if (handle == NoDevice()) {
    RecordFailureCause(NoDeviceCause());
    return kInvalidMac;
  }
  const char* output = nullptr;
  if (const char* failure = ReadOutput(output)) return failure;
  CaptureSettings settings;
  if (const char* failure = ReadDiskDumpSettings(settings)) return failure;
  // The directory is taken as given: a trailing slash yields a double slash,
  // an empty one the file name alone.
  settings.destination = output + std::string(kCaptureFileName);
  if (const char* failure = CheckDestination(output, settings.destination)) return failure;
  // From the status check to the start no other request reaches the device:
  // two starts would both find it idle, and the loser's configuration would
  // reach the winner's capture.
  ChangeLock lock;
  if (const char* failure = LockChanges(lock, program_paths.lockFile)) return failure;
  if (const char* failure = CheckIdle(handle)) return failure;
  if (const char* failure = AddStoredFeatures(settings)) return failure;
  // No capture starts unless its claim on the file is recorded: the ledger
  // alone keeps two devices out of one file.
  Connection ledger;
  if (const char* failure = OpenClaimLedger(ledger)) return failure;
  LedgerEntry claim;
  const std::string mac = MacTextOf(handle);
  if (const char* failure = ClaimCaptureFile(ledger.get(), mac, settings, claim)) return failure;
  const char* failure = StartWith(handle, settings);
  CompleteClaim(ledger.get(), claim, failure == nullptr);
  return failure;
}

}  // namespace

int StartCapture(ResponseBody& body) {
  WriteOutcome(body.text, StartOnDevice());
  return 0;
}
