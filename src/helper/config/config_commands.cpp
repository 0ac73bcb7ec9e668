#include "helper/config/config_commands.h"

#include <cstring>
#include <iterator>
#include <optional>

#include "VelorantisAPI.h"
#include "helper/config/config_store.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/json_text.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/response.h"
#include "helper/lock/device_request_lock.h"
#include "helper/records/capture_records.h"
#include "shared/discovery.h"
#include "shared/paths.h"

namespace {

constexpr char kCannotLoad[] = "Cannot load configuration from database";

struct NumberLine {
  const char* key;
  int64_t value;
};

void WriteConfigNode(std::string& out, const std::string& destination,
                     const VelorantisAPIDeviceFeatures& features,
                     const VelorantisAPIDiskDumpConfig& config) {
  out += "\"config\": {\n\"destination\": \"";
  WriteJsonText(out, destination);
  out += "\",\n";
  const NumberLine lines[] = {
      {"loop", config.loop == 1 ? 1 : 0},
      {"count", static_cast<int32_t>(config.count)},
      {"size", static_cast<int64_t>(config.size >> 20)},
      {"duration", config.duration},
      {"inline", features.inlineEnabled == 1 ? 1 : 0},
      {"slicing", features.slicingEnabled == 1 ? features.slicingValue : 0},
  };
  for (size_t i = 0; i < std::size(lines); ++i) {
    AppendNumberMember(out, lines[i].key, lines[i].value);
    out += i + 1 < std::size(lines) ? ",\n" : "\n";
  }
  out += "},\n";
}

// Writes the "config" node into `node`; on failure returns the message and
// leaves `node` empty.
const char* LoadConfigNode(std::string& node, const char* configDb) {
  if (getvar("mac") == nullptr) return "Invalid MAC address";
  VelorantisAPIDeviceFeatures features{};
  VelorantisAPIDiskDumpConfig config{};
  if (LoadConfiguration(configDb, features, config) != 0) return kCannotLoad;
  const std::optional<std::string> destination = NarrowDestination(config.destination);
  if (!destination) {
    RecordFailureCause("the stored destination does not convert back to bytes (wcstombs)");
    return kCannotLoad;
  }
  WriteConfigNode(node, *destination, features, config);
  return nullptr;
}

// Every setconfig looks the device up first, also when variables are missing.
// "default" with no device attached is no failure: the configuration is then
// only stored.
const char* SelectDevice(void*& handle) {
  const char* mac = getvar("mac");
  handle = FindDevice(mac);
  const bool isDefault = mac != nullptr && strcmp(mac, "default") == 0;
  if (handle != NoDevice() || isDefault) return nullptr;
  RecordFailureCause(kNoDeviceCause);
  return "Invalid MAC address";
}

// "output", also refused when it would not fit the stored configuration: one
// longer than that is never truncated, and nothing is stored for it.
const char* ReadStorableOutput(const char*& output) {
  if (const char* failure = ReadOutput(output)) return failure;
  return strlen(output) > kMaxStoredDestination ? "Invalid destination value" : nullptr;
}

void FillRequestedRecords(const char* output, const RequestSettings& settings,
                          VelorantisAPIDeviceFeatures& features,
                          VelorantisAPIDiskDumpConfig& config) {
  config.destination = WidenDestination(output);
  SetDiskDumpNumbers(config, settings);
  SetFixedDiskDumpFields(config);
  SetFixedFeatureWords(features);
  SetSlicing(features, settings.slicing);
  features.inlineEnabled = settings.inlineMode != 0 ? 1 : 0;
}

const char* ApplyConfiguration(const char* configDb, const char* lockFile) {
  void* handle = nullptr;
  const char* output = nullptr;
  RequestSettings settings;
  if (const char* failure = SelectDevice(handle)) return failure;
  if (const char* failure = ReadStorableOutput(output)) return failure;
  if (const char* failure = ReadDiskDumpSettings(settings)) return failure;
  if (const char* failure = ReadFeatureSettings(settings)) return failure;
  VelorantisAPIDeviceFeatures features{};
  VelorantisAPIDiskDumpConfig config{};
  FillRequestedRecords(output, settings, features, config);
  // The row and the device's features change together: another setconfig in
  // between would leave the row from one request and the features from the
  // other.
  DeviceRequestLock lock;
  if (const char* failure = LockDeviceRequests(lock, lockFile)) return failure;
  if (StoreConfiguration(configDb, features, config) != 0) {
    return "Failed to save configuration in database";
  }
  // Once stored, the configuration stays stored even if the device refuses.
  if (handle != NoDevice()) {
    if (const int rc = VelorantisAPISetDeviceFeatures(handle, features); rc != 0) {
      RecordLibraryFailure("VelorantisAPISetDeviceFeatures", rc);
      return "Failed to set device features";
    }
  }
  return nullptr;
}

}  // namespace

int OutputConfig(std::string& out, const char* configDb) {
  std::string node;
  const char* failure = LoadConfigNode(node, configDb);
  out += node;
  WriteOutcome(out, failure);
  return 0;
}

int SetConfig(std::string& out, const char* configDb, const char* lockFile) {
  WriteOutcome(out, ApplyConfiguration(configDb, lockFile));
  return 0;
}

int OutputConfig(ResponseBody& body) { return OutputConfig(body.text, kConfigDatabasePath); }

int SetConfig(ResponseBody& body) {
  return SetConfig(body.text, kConfigDatabasePath, kDeviceLockPath);
}
