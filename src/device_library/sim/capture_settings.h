// What a capture does, read from the device's saved settings when it starts.
#ifndef VELORANTIS_SIM_CAPTURE_SETTINGS_H_
#define VELORANTIS_SIM_CAPTURE_SETTINGS_H_

#include <cstdint>
#include <optional>
#include <string>

#include "device_registry.h"

namespace velorantis::sim {

// Whole frames when slicing is off or its value is 0.
inline constexpr uint32_t kWholeFrames = 65535;

struct CaptureSettings {
  std::string path;    // the capture file
  uint32_t snaplen;    // bytes kept of each frame, and the interfaces' snap length
  uint32_t count;      // frames, then the capture ends; 0: no limit
  uint64_t size;       // bytes of file, then it ends or starts over; 0: no limit
  bool loop;           // at `size`, start the file over instead of ending
  uint32_t duration;   // seconds, then the capture ends; 0: no limit
  uint64_t max_cache;  // the memory the capture may use (the config's ramSize)
};

// None when no destination has been configured.
std::optional<CaptureSettings> LoadCaptureSettings(const Device& device);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_CAPTURE_SETTINGS_H_
