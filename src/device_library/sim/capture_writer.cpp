#include "capture_writer.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "device_files.h"
#include "devices_file.h"
#include "file_io.h"
#include "frames.h"
#include "pcapng.h"

namespace velorantis::sim {
namespace {

struct Capture {
  const CaptureSettings& settings;
  const std::string header;
  int file;             // the capture file, open for appending blocks
  uint64_t file_bytes;  // its size
  uint64_t frames = 0;  // written by this capture
  int error = 0;        // why the file could not be written
};

enum class Step { kWritten, kEnd };

uint64_t Nanoseconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

// Replaces the capture file by one that holds only the header, by rename,
// so that a reader finds the old file or the new one, never a cut one.
int StartFileOver(const Capture& capture) {
  const std::string fresh = capture.settings.path + ".new";
  const int fd = OpenCaptureFile(fresh);
  if (fd < 0) return -1;
  if (WriteAll(fd, capture.header) && rename(fresh.c_str(), capture.settings.path.c_str()) == 0) {
    return fd;
  }
  close(fd);
  unlink(fresh.c_str());
  return -1;
}

Step FileFailed(Capture& capture) {
  capture.error = errno != 0 ? errno : EIO;
  return Step::kEnd;
}

// The next frame, seen at `nanoseconds`, in one write; at the size limit
// the file starts over first (loop) or the capture ends.
Step WriteFrame(Capture& capture, WriterState& state, uint64_t nanoseconds) {
  const CaptureSettings& settings = capture.settings;
  if (settings.count != 0 && capture.frames >= settings.count) return Step::kEnd;
  const Frame frame = SyntheticFrame(capture.frames);
  const std::string block = PcapngPacket(frame.port, nanoseconds, frame.bytes, settings.snaplen);
  if (settings.size != 0 && capture.file_bytes + block.size() > settings.size) {
    if (!settings.loop) return Step::kEnd;
    const int fresh = StartFileOver(capture);
    if (fresh < 0) return FileFailed(capture);
    close(capture.file);
    capture.file = fresh;
    capture.file_bytes = capture.header.size();
    state.written += capture.header.size();
  }
  if (!WriteAll(capture.file, block)) {
    // A full disk takes what fits of a block: the file goes back to its
    // last whole block, so that it stays readable and `written` tells its
    // size.
    const Step step = FileFailed(capture);
    if (ftruncate(capture.file, static_cast<off_t>(capture.file_bytes)) != 0) {
      capture.error = errno;
    }
    return step;
  }
  capture.file_bytes += block.size();
  state.written += block.size();
  ++capture.frames;
  return Step::kWritten;
}

// One round of frames, dated evenly over the round from now; false when
// the capture ended in it.
bool WriteCaptureRound(Capture& capture, WriterState& state, int state_fd) {
  constexpr uint64_t kSpacing = kRoundMs * 1000000u / kFramesPerRound;
  const uint64_t now = Nanoseconds(CLOCK_REALTIME);
  const uint64_t before = state.written;
  bool going = true;
  for (uint32_t i = 0; i < kFramesPerRound && going; ++i) {
    going = WriteFrame(capture, state, now + i * kSpacing) == Step::kWritten;
  }
  // What the round wrote went through the cache.
  state.cache_used = std::min(state.written - before, state.max_cache);
  SaveWriterState(state_fd, state);
  return going;
}

// True when the stop signal came within `ms`.
bool StopAsked(long ms) {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, kStopSignal);
  const timespec wait{ms / 1000, (ms % 1000) * 1000000L};
  return sigtimedwait(&stop, nullptr, &wait) == kStopSignal;
}

bool DeviceListed(const Device& device) {
  std::string text;
  if (!ReadFile(device.state_dir + "/devices", &text)) return false;
  const DevicesFile file = ParseDevicesFile(text);
  return std::any_of(file.entries.begin(), file.entries.end(),
                     [&](const DeviceEntry& entry) { return entry.mac == device.mac; });
}

}  // namespace

void RunCapture(const Device& device, const CaptureSettings& settings, int capture_fd, int state_fd,
                WriterState state) {
  Capture capture{settings, PcapngHeader(settings.snaplen), capture_fd, state.written};
  const std::string marker = DeviceFile(device, kCaptureMarker);
  const uint64_t started = Nanoseconds(CLOCK_MONOTONIC);
  const uint64_t duration = uint64_t{settings.duration} * 1000000000u;
  for (;;) {
    if (!WriteCaptureRound(capture, state, state_fd)) break;
    if (duration != 0 && Nanoseconds(CLOCK_MONOTONIC) - started >= duration) break;
    if (StopAsked(kRoundMs)) break;
    if (!FileExists(marker) || !DeviceListed(device)) break;
  }
  close(capture.file);
  state.cache_used = 0;
  state.error = capture.error;
  SaveWriterState(state_fd, state);
  // No new marker can have come meanwhile: a start ends a writer whose
  // marker is gone before it writes its own.
  unlink(marker.c_str());
}

}  // namespace velorantis::sim
