// A device's own files in the state directory, all named by its twelve hex
// digits, and the lock that serialises changes to them across processes.
#ifndef VELORANTIS_SIM_DEVICE_FILES_H_
#define VELORANTIS_SIM_DEVICE_FILES_H_

#include <string>
#include <string_view>

#include "device_registry.h"

namespace velorantis::sim {

// The suffixes of a device's files.
inline constexpr std::string_view kFeaturesFile = "features";  // its features
inline constexpr std::string_view kConfigFile = "config";      // its capture configuration
inline constexpr std::string_view kCaptureMarker =
    "capture";  // there while a capture runs, holding the capture file's path
inline constexpr std::string_view kWriterFile = "writer";  // the capture writer's report
inline constexpr std::string_view kLockFile = "lock";      // see DeviceLock

// STATE_DIR/aabbccddeeff.SUFFIX
std::string DeviceFile(const Device& device, std::string_view suffix);

// Holds flock(LOCK_EX) on the device's ".lock" file while alive. Every
// change to the device's state happens under it, so concurrent processes
// never double-start a capture or tear a settings file.
class DeviceLock {
 public:
  explicit DeviceLock(const Device& device);
  ~DeviceLock();
  DeviceLock(const DeviceLock&) = delete;
  DeviceLock& operator=(const DeviceLock&) = delete;

  // False when the lock file could not be opened or locked.
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Replaces the device's SUFFIX file under the lock.
bool SaveDeviceFile(const Device& device, std::string_view suffix, std::string_view text);

// Empty when the device has no such file.
std::string LoadDeviceFile(const Device& device, std::string_view suffix);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_DEVICE_FILES_H_
