#include "capture.h"

#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "capture_settings.h"
#include "device_files.h"
#include "file_io.h"
#include "settings_text.h"
#include "writer_process.h"
#include "writer_state.h"

namespace velorantis::sim {
bool CaptureRunning(const Device& device) {
  // The marker appears by rename and goes by unlink, and the writer's lock
  // goes with its process, so no lock is needed to read them.
  return FileExists(DeviceFile(device, kCaptureMarker)) && WriterAlive(device);
}

bool BeginCapture(const Device& device) {
  DeviceLock lock(device);
  if (!lock.held() || CaptureRunning(device)) return false;
  // A writer whose marker was removed may not have seen it yet.
  EndWriter(device);
  const std::optional<CaptureSettings> settings = LoadCaptureSettings(device);
  if (!settings) return false;
  const std::string marker = DeviceFile(device, kCaptureMarker);
  if (!WriteFileAtomically(marker, OneLine(settings->path) + "\n")) return false;
  if (SpawnWriter(device, *settings)) return true;
  unlink(marker.c_str());
  return false;
}

bool EndCapture(const Device& device) {
  DeviceLock lock(device);
  if (!lock.held()) return false;
  EndWriter(device);
  return unlink(DeviceFile(device, kCaptureMarker).c_str()) == 0 || errno == ENOENT;
}

CaptureFigures CaptureState(const Device& device) {
  const bool running = CaptureRunning(device);
  const WriterState state = LoadWriterState(device).value_or(WriterState{});
  return {running, state.written, running ? state.cache_used : 0, state.max_cache, state.error};
}

}  // namespace velorantis::sim
