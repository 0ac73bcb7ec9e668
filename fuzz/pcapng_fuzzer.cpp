// Fuzz target: a capture file as the pcapng reader, the packet times of its
// two ends and a time window's copy meet it. The input is the file; the
// window is its first packet's second. A failed check aborts. Read in small
// pieces, small inputs reach blocks longer than the reader's buffer.
#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "helper/download/window_download.h"
#include "helper/pcapng/packet_span.h"

namespace {

constexpr uint32_t kReadBytes = 1024;

void Check(bool holds) {
  if (!holds) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("capture", MFD_CLOEXEC);
  Check(fd >= 0 && write(fd, data, size) == static_cast<ssize_t>(size));
  BlockReader reader(fd, 0, kReadBytes);
  Block block;
  std::optional<UnixNanos> first;
  uint64_t offset = 0;
  while (reader.Next(block) == Step::kBlock) {
    // Every block lies whole in the file, after the one before.
    Check(block.offset == offset && block.length >= 12 && block.length % 4 == 0);
    Check(block.headBytes <= block.length && block.offset + block.length <= size);
    offset = reader.nextOffset();
    if (!first) first = reader.TimeOf(block);
  }
  const std::optional<PacketSpan> span = FindPacketSpan(fd, size, kReadBytes);
  if (span) Check(first && span->first == *first);
  TimeWindow window;
  // The second the first packet lies in (times past 2262 read as the last
  // nanosecond that fits).
  if (first && *first < INT64_MAX - 1000000000) {
    const UnixNanos second = *first / 1000000000 * 1000000000;
    window = {second, second + 1000000000};
  }
  ResponseBody body;
  const Status answered =
      AnswerWindow(body, dup(fd), "00:11:22:33:44:55", window, false, kReadBytes);
  if (answered.ok() != static_cast<bool>(body.writer)) abort();  // a writer only on success
  if (body.writer) {
    FILE* sink = fopen("/dev/null", "w");
    body.writer(sink);
    fclose(sink);
  }
  close(fd);
  return 0;
}
