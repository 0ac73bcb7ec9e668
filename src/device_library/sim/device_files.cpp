#include "device_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "file_io.h"

namespace velorantis::sim {

std::string DeviceFile(const Device& device, std::string_view suffix) {
  std::string path = device.state_dir + "/" + MacDigits(device.mac) + ".";
  path += suffix;
  return path;
}

DeviceLock::DeviceLock(const Device& device) {
  // The directory may have been removed since the device was listed.
  MakeDirs(device.state_dir);
  const std::string path = DeviceFile(device, kLockFile);
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) return;
  int locked;
  do {
    locked = flock(fd_, LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    close(fd_);
    fd_ = -1;
  }
}

DeviceLock::~DeviceLock() {
  if (fd_ >= 0) close(fd_);
}

bool SaveDeviceFile(const Device& device, std::string_view suffix, std::string_view text) {
  DeviceLock lock(device);
  return lock.held() && WriteFileAtomically(DeviceFile(device, suffix), text);
}

std::string LoadDeviceFile(const Device& device, std::string_view suffix) {
  std::string text;
  if (!ReadFile(DeviceFile(device, suffix), &text)) text.clear();
  return text;
}

}  // namespace velorantis::sim
