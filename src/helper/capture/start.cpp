#include "helper/capture/capture_commands.h"

#include <string>

#include "VelorantisAPI.h"
#include "helper/capture_files/capture_file.h"
#include "helper/capture_settings/capture_settings.h"
#include "helper/claims/capture_claim.h"
#include "helper/config/config_store.h"
#include "helper/device/device_lookup.h"
#include "helper/device/device_state.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/response.h"
#include "helper/lock/change_lock.h"
#include "helper/records_db/records_db.h"
#include "helper/retention/retention.h"
#include "shared/discovery.h"

namespace {

constexpr char kCaptureFileName[] = "/Velorantis.pcapng";

// A running capture is left alone, its configuration included.
Status CheckIdle(void* handle) {
  VelorantisAPIDiskDumpStatus status{};
  if (const int rc = VelorantisAPIDiskDumpGetStatus(handle, &status); rc != 0) {
    return Failed(Message::kFailedCaptureStatus,
                  LibraryCause("VelorantisAPIDiskDumpGetStatus", rc));
  }
  if (status.running == 0) return {};
  return Failed(Message::kCaptureRunning,
                "VelorantisAPIDiskDumpGetStatus reports a capture running");
}

// The stored inline mode and slicing go with every capture, so that what
// getconfig shows is what the device records.
Status AddStoredFeatures(CaptureSettings& settings) {
  CaptureSettings stored;
  if (Status loaded = LoadSettings(program_paths.configDb, stored); !loaded.ok()) return loaded;
  settings.inlineMode = stored.inlineMode;
  settings.slicing = stored.slicing;
  settings.sliceBytes = stored.sliceBytes;
  return {};
}

// The device's three calls, each failure with its own message.
struct DeviceStep {
  const char* operation;
  Message failure;
};
constexpr DeviceStep kSetFeatures = {"VelorantisAPISetDeviceFeatures", Message::kFailedSetFeatures};
constexpr DeviceStep kSetConfig = {"VelorantisAPIDiskDumpSetConfig",
                                   Message::kFailedSetCaptureConfig};
constexpr DeviceStep kStart = {"VelorantisAPIDiskDumpStart", Message::kFailedStart};

Status Checked(const DeviceStep& step, int rc) {
  return rc == 0 ? Status{} : Failed(step.failure, LibraryCause(step.operation, rc));
}

// The path's length is not limited here; it is allocated whole and a library
// that cannot create it refuses the start.
Status StartWith(void* handle, const CaptureSettings& settings) {
  VelorantisAPIDeviceFeatures features{};
  VelorantisAPIDiskDumpConfig config{};
  FillRecords(settings, features, config);
  Status outcome = Checked(kSetFeatures, VelorantisAPISetDeviceFeatures(handle, features));
  if (outcome.ok()) outcome = Checked(kSetConfig, VelorantisAPIDiskDumpSetConfig(handle, config));
  if (outcome.ok()) outcome = Checked(kStart, VelorantisAPIDiskDumpStart(handle));
  return outcome;
}

// The request's own settings and the capture file they name.
Status ReadStartSettings(const Request& request, CaptureSettings& settings) {
  const char* output = nullptr;
  if (Status read = ReadText(request, Key::kOutput, output); !read.ok()) return read;
  if (Status read = ReadDiskDumpSettings(request, settings); !read.ok()) return read;
  // The directory is taken as given: a trailing slash yields a double slash,
  // an empty one the file name alone.
  settings.destination = output + std::string(kCaptureFileName);
  return Failed(CheckDestination(output, settings.destination));
}

}  // namespace

Status StartCapture(const Request& request, ResponseBody&) {
  void* handle = nullptr;
  if (Status found = FindRequestedDevice(request, handle); !found.ok()) return found;
  CaptureSettings settings;
  if (Status read = ReadStartSettings(request, settings); !read.ok()) return read;
  // From the status check to the start no other request reaches the device:
  // two starts would both find it idle, and the loser's configuration would
  // reach the winner's capture.
  ChangeLock lock;
  if (Status locked = LockChanges(lock, program_paths.lockFile); !locked.ok()) return locked;
  if (Status idle = CheckIdle(handle); !idle.ok()) return idle;
  if (Status stored = AddStoredFeatures(settings); !stored.ok()) return stored;
  // No capture starts unless its claim on the file is recorded: the ledger
  // alone keeps two devices out of one file.
  Connection ledger;
  if (Status opened = OpenRecords(DatabaseUse::kWriter, ledger); !opened.ok()) return opened;
  LedgerEntry claim;
  const std::string mac = MacTextOf(handle);
  if (Status claimed = ClaimCaptureFile(ledger.get(), mac, request.caller, settings, claim);
      !claimed.ok()) {
    return claimed;
  }
  // The new capture starts within the policy, as far as removing ended
  // captures can make room; a policy that cannot be met stops no start.
  PruneReport pruned;
  static_cast<void>(KeepWithinPolicy(ledger.get(), {FolderOf(claim.file)}, false, pruned));
  Status started = StartWith(handle, settings);
  // A claim this write leaves as it was is settled by the next request that
  // asks its device: the device's answer stands.
  static_cast<void>(CompleteClaim(ledger.get(), claim, started.ok()));
  return started;
}
