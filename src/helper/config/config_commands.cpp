#include "helper/config/config_commands.h"

#include <cstring>
#include <iterator>

#include "VelorantisAPI.h"
#include "helper/capture_settings/capture_settings.h"
#include "helper/config/config_store.h"
#include "helper/device/device_lookup.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/json_text.h"
#include "helper/frontend/response.h"
#include "helper/lock/change_lock.h"
#include "shared/discovery.h"

namespace {

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

Status LoadConfigNode(const Request& request, std::string& node) {
  if (KeyText(request, Key::kMac) == nullptr) return Failed(Message::kInvalidMac);
  CaptureSettings settings;
  if (Status loaded = LoadSettings(program_paths.configDb, settings); !loaded.ok()) return loaded;
  WriteConfigNode(node, settings);
  return {};
}

// Every setconfig looks the device up first, also when variables are missing.
// "default" with no device attached is no failure: the configuration is then
// only stored.
Status SelectDevice(const Request& request, void*& handle) {
  Status found = FindRequestedDevice(request, handle);
  if (!found.ok() && AsksDefaultDevice(request)) return {};
  return found;
}

// "output", also refused when it would not fit the stored configuration: one
// longer than that is never truncated, and nothing is stored for it.
Status ReadStorableOutput(const Request& request, const char*& output) {
  if (Status read = ReadText(request, Key::kOutput, output); !read.ok()) return read;
  if (strlen(output) > kMaxStoredDestination) return Failed(Message::kInvalidDestination);
  return {};
}

Status ReadSettings(const Request& request, CaptureSettings& settings) {
  const char* output = nullptr;
  if (Status read = ReadStorableOutput(request, output); !read.ok()) return read;
  settings.destination = output;
  if (Status read = ReadDiskDumpSettings(request, settings); !read.ok()) return read;
  return ReadFeatureSettings(request, settings);
}

}  // namespace

Status OutputConfig(const Request& request, ResponseBody& body) {
  return LoadConfigNode(request, body.text);
}

Status SetConfig(const Request& request, ResponseBody&) {
  void* handle = nullptr;
  if (Status found = SelectDevice(request, handle); !found.ok()) return found;
  CaptureSettings settings;
  if (Status read = ReadSettings(request, settings); !read.ok()) return read;
  VelorantisAPIDeviceFeatures features{};
  VelorantisAPIDiskDumpConfig config{};
  FillRecords(settings, features, config);
  // The row and the device's features change together: another setconfig in
  // between would leave the row from one request and the features from the
  // other.
  ChangeLock lock;
  if (Status locked = LockChanges(lock, program_paths.lockFile); !locked.ok()) return locked;
  if (Status stored = StoreSettings(program_paths.configDb, settings); !stored.ok()) {
    return stored;
  }
  // Once stored, the configuration stays stored even if the device refuses.
  if (handle != NoDevice()) {
    if (const int rc = VelorantisAPISetDeviceFeatures(handle, features); rc != 0) {
      return Failed(Message::kFailedSetFeatures,
                    LibraryCause("VelorantisAPISetDeviceFeatures", rc));
    }
  }
  return {};
}
