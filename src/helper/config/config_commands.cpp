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
#include "helper/lock/change_lock.h"
#include "helper/records/capture_records.h"
#include "shared/discovery.h"

namespace {

constexpr char kCannotLoad[] = "Cannot load configuration from database";

struct NumberLine {
  const char* key;
  int64_t value;
};

void WriteConfigNode(std::string& out, const CaptureSettings& settings) {
  out += "\"config\": {\n\"destination\": \"";
  WriteJsonText(out, settings.destination);
  out += "\",\n";
  const NumberLine lines[] = {
      {"loop", settings.loop ? 1 : 0},
      {"count", static_cast<int32_t>(settings.count)},
      {"size", static_cast<int64_t>(settings.size >> 20)},
      {"duration", settings.duration},
      {"inline", settings.inlineMode ? 1 : 0},
      {"slicing", settings.slicing ? settings.sliceBytes : 0},
  };
  for (size_t i = 0; i < std::size(lines); ++i) {
    AppendNumberMember(out, lines[i].key, lines[i].value);
    out += i + 1 < std::size(lines) ? ",\n" : "\n";
  }
  out += "},\n";
}

// Writes the "config" node into `node`; on failure returns the message and
// leaves `node` empty.
const char* LoadConfigNode(std::string& node) {
  if (getvar("mac") == nullptr) return kInvalidMac;
  VelorantisAPIDeviceFeatures features{};
  VelorantisAPIDiskDumpConfig config{};
  if (LoadConfiguration(program_paths.configDb, features, config) != 0) return kCannotLoad;
  const std::optional<CaptureSettings> settings = SettingsOf(features, config);
  if (!settings) {
    RecordFailureCause("the stored destination holds a character that is no byte");
    return kCannotLoad;
  }
  WriteConfigNode(node, *settings);
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
  RecordFailureCause(NoDeviceCause());
  return kInvalidMac;
}

// "output", also refused when it would not fit the stored configuration: one
// longer than that is never truncated, and nothing is stored for it.
const char* ReadStorableOutput(const char*& output) {
  if (const char* failure = ReadOutput(output)) return failure;
  return strlen(output) > kMaxStoredDestination ? "Invalid destination value" : nullptr;
}

const char* ApplyConfiguration() {
  void* handle = nullptr;
  const char* output = nullptr;
  CaptureSettings settings;
  if (const char* failure = SelectDevice(handle)) return failure;
  if (const char* failure = ReadStorableOutput(output)) return failure;
  settings.destination = output;
  if (const char* failure = ReadDiskDumpSettings(settings)) return failure;
  if (const char* failure = ReadFeatureSettings(settings)) return failure;
  VelorantisAPIDeviceFeatures features{};
  VelorantisAPIDiskDumpConfig config{};
  FillRecords(settings, features, config);
  // The row and the device's features change together: another setconfig in
  // between would leave the row from one request and the features from the
  // other.
  ChangeLock lock;
  if (const char* failure = LockChanges(lock, program_paths.lockFile)) return failure;
  if (StoreConfiguration(program_paths.configDb, features, config) != 0) {
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

int OutputConfig(ResponseBody& body) {
  std::string node;
  const char* failure = LoadConfigNode(node);
  body.text += node;
  WriteOutcome(body.text, failure);
  return 0;
}

int SetConfig(ResponseBody& body) {
  WriteOutcome(body.text, ApplyConfiguration());
  return 0;
}
