#include "helper/capture_ends/packet_times.h"

#include <sys/stat.h>
#include <unistd.h>

#include "helper/capture_files/no_link_open.h"
#include "helper/pcapng/packet_span.h"

PacketTimes PacketTimesOf(const std::string& path) {
  const int fd = OpenWithoutLinks(path);
  if (fd < 0) return {};
  struct stat info {};
  std::optional<PacketSpan> span;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    span = FindPacketSpan(fd, static_cast<uint64_t>(info.st_size));
  }
  close(fd);
  return span ? PacketTimes{span->first, span->last} : PacketTimes{};
}
