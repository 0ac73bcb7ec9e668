#include "writer_state.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "device_files.h"
#include "file_io.h"
#include "settings_text.h"

namespace velorantis::sim {
int LockWriterState(const Device& device) {
  const int fd = open(DeviceFile(device, kWriterFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SaveWriterState(int fd, const WriterState& state) {
  // Fixed widths: each state replaces the whole of the one before.
  char line[128];
  const int length = std::snprintf(line, sizeof line,
                                   "pid=%-10ld written=%-20" PRIu64 " cacheused=%-20" PRIu64
                                   " maxcache=%-20" PRIu64 " error=%-10d\n",
                                   static_cast<long>(state.pid), state.written, state.cache_used,
                                   state.max_cache, state.error);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof line) return false;
  return pwrite(fd, line, static_cast<size_t>(length), 0) == length;
}

std::optional<WriterState> LoadWriterState(const Device& device) {
  // The writer rewrites the line in place while we may be reading it: take
  // it once two reads agree.
  const std::string path = DeviceFile(device, kWriterFile);
  std::string text, again;
  if (!ReadFile(path, &text) || text.empty()) return std::nullopt;
  for (int tries = 0; tries < 3 && ReadFile(path, &again) && again != text; ++tries) text = again;
  return WriterState{static_cast<pid_t>(NumberField(text, "pid")), NumberField(text, "written"),
                     NumberField(text, "cacheused"), NumberField(text, "maxcache"),
                     static_cast<int>(NumberField(text, "error"))};
}

bool WriterAlive(const Device& device) {
  const int fd = open(DeviceFile(device, kWriterFile).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  int locked;
  while ((locked = flock(fd, LOCK_SH | LOCK_NB)) != 0 && errno == EINTR) {
  }
  const bool held = locked != 0 && errno == EWOULDBLOCK;
  close(fd);  // also drops our shared lock, if we got it
  return held;
}

}  // namespace velorantis::sim
