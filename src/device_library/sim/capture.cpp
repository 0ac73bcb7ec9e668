#include "capture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <optional>
#include <string>

#include "device_files.h"
#include "file_io.h"
#include "pcapng.h"
#include "settings_text.h"

namespace velorantis::sim {
namespace {

// Present while a capture runs; holds the path of the capture file.
constexpr std::string_view kRunningSuffix = "capture";
constexpr uint32_t kDefaultSnaplen = 65535;

uint32_t NumberField(const std::string& text, std::string_view key) {
  const std::optional<std::string> value = FieldValue(text, key);
  uint32_t number = 0;
  if (value) std::from_chars(value->data(), value->data() + value->size(), number);
  return number;
}

// With slicing on, the device keeps only the first slicingValue bytes.
uint32_t Snaplen(const Device& device) {
  const std::string features = LoadDeviceFile(device, "features");
  const uint32_t slice = NumberField(features, "h64");
  return NumberField(features, "w16") == 1 && slice > 0 ? slice : kDefaultSnaplen;
}

bool WriteCaptureFile(const std::string& path, uint32_t snaplen) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, PcapngPreamble(snaplen));
  return close(fd) == 0 && written;
}

}  // namespace

bool CaptureRunning(const Device& device) {
  // The marker appears by rename and goes by unlink, so no lock is needed
  // to read it.
  return FileExists(DeviceFile(device, kRunningSuffix));
}

bool StartCapture(const Device& device) {
  DeviceLock lock(device);
  if (!lock.held() || CaptureRunning(device)) return false;
  const std::optional<std::string> destination =
      FieldValue(LoadDeviceFile(device, "config"), "destination");
  if (!destination || !WriteCaptureFile(*destination, Snaplen(device))) return false;
  return WriteFileAtomically(DeviceFile(device, kRunningSuffix), OneLine(*destination) + "\n");
}

bool StopCapture(const Device& device) {
  DeviceLock lock(device);
  if (!lock.held()) return false;
  return unlink(DeviceFile(device, kRunningSuffix).c_str()) == 0 || errno == ENOENT;
}

}  // namespace velorantis::sim
