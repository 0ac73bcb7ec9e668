// Fuzz target: two capture files merged by time, filtered, as an extraction
// merges them. The input's first two bytes give the first file's length
// (big-endian, at most the rest), the third picks a filter, the rest are
// the two files; the window is open. The
// merged file must read as pcapng to its end, every packet of an interface
// described before it. A failed check aborts. Read in small pieces, small
// inputs reach blocks longer than the readers' buffers.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "helper/filter/packet_filter.h"
#include "helper/merge/capture_merge.h"
#include "helper/pcapng/pcapng_blocks.h"

namespace {

constexpr uint32_t kReadBytes = 256;
constexpr const char* kFilters[] = {"", "tcp or udp", "not host 10.1.0.1", "vlan and port 53"};

void Check(bool holds) {
  if (!holds) abort();
}

int FileOf(const uint8_t* data, size_t size) {
  const int fd = memfd_create("capture", MFD_CLOEXEC);
  Check(fd >= 0 && write(fd, data, size) == static_cast<ssize_t>(size));
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const size_t rest = size - 3;
  const size_t split = std::min<size_t>(rest, size_t{data[0]} << 8 | data[1]);
  const uint8_t* files0 = data + 3;
  const std::vector<int> files = {FileOf(files0, split), FileOf(files0 + split, rest - split)};
  PacketFilter filter(kFilters[data[2] % std::size(kFilters)]);
  CaptureMerge merge(files, TimeWindow{}, filter, kReadBytes);
  const int out = memfd_create("merged", MFD_CLOEXEC);
  const uint64_t sent = merge.WriteTo(out);
  Check(sent == static_cast<uint64_t>(lseek(out, 0, SEEK_END)));
  BlockReader reader(out);
  Block block;
  uint32_t interfaces = 0;
  Step step;
  while ((step = reader.Next(block)) == Step::kBlock) {
    if (block.type == kInterfaceBlock) ++interfaces;
    if (block.type == kEnhancedPacketBlock) {
      Check(block.headBytes >= 12);
      uint32_t id;
      memcpy(&id, block.head + 8, 4);
      Check(id < interfaces && reader.TimeOf(block));
    }
  }
  Check(step == Step::kEnd);
  close(out);
  return 0;
}
