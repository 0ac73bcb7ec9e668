#include "capture_settings.h"

#include "device_files.h"
#include "settings_text.h"

namespace velorantis::sim {
namespace {

// With slicing on, the device keeps only the first slicingValue bytes.
uint32_t Snaplen(const std::string& features) {
  const uint64_t slice = NumberField(features, "h64");
  return NumberField(features, "w16") == 1 && slice > 0 ? static_cast<uint32_t>(slice)
                                                        : kWholeFrames;
}

}  // namespace

std::optional<CaptureSettings> LoadCaptureSettings(const Device& device) {
  const std::string config = LoadDeviceFile(device, kConfigFile);
  std::optional<std::string> path = FieldValue(config, "destination");
  if (!path) return std::nullopt;
  return CaptureSettings{std::move(*path),
                         Snaplen(LoadDeviceFile(device, kFeaturesFile)),
                         static_cast<uint32_t>(NumberField(config, "count")),
                         NumberField(config, "size"),
                         NumberField(config, "loop") != 0,
                         static_cast<uint32_t>(NumberField(config, "duration")),
                         NumberField(config, "ramSize")};
}

}  // namespace velorantis::sim
