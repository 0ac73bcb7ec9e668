// Captures merged into one pcapng file as they would be merged by time: one
// section header, every capture's interfaces renumbered, and the packets in
// the window that pass the filter, in time order across the captures (a
// capture's own packets in its order; at equal times the earlier capture's
// first). Each capture is read once, block by block, with one buffer; the
// whole merge stays within kMergeBytes whatever the number of captures.
#ifndef VELORANTIS_HELPER_MERGE_CAPTURE_MERGE_H_
#define VELORANTIS_HELPER_MERGE_CAPTURE_MERGE_H_

#include <cstdint>
#include <memory>
#include <queue>
#include <utility>
#include <vector>

#include "helper/filter/packet_filter.h"
#include "helper/merge/capture_source.h"
#include "helper/merge/merge_interfaces.h"
#include "helper/pcapng/packet_window.h"

class CaptureMerge {
 public:
  // The readers' buffers together; with the output's and the held
  // interfaces', the merge's memory.
  static constexpr size_t kReaderBytes = 5 * 1024 * 1024;
  static constexpr uint32_t kLeastReaderBytes = 4096;

  // Takes over the captures open as `files` (in the order their packets
  // start) and reads each up to its first packet kept, so that the
  // interfaces before it are known; `filter` must outlive the merge.
  // `readBytes` 0: each reader's share of kReaderBytes.
  CaptureMerge(const std::vector<int>& files, const TimeWindow& window, PacketFilter& filter,
               uint32_t readBytes = 0);

  // Interfaces met so far whose packets are left out.
  uint32_t interfacesLeftOut() const { return interfaces_.leftOut(); }

  // Writes the merged capture to `fd`; returns the bytes written (fewer
  // than all when the reader went away).
  uint64_t WriteTo(int fd);

 private:
  using Next = std::pair<UnixNanos, size_t>;  // a source's packet time, its index

  MergeInterfaces interfaces_;
  std::vector<std::unique_ptr<CaptureSource>> sources_;
  std::priority_queue<Next, std::vector<Next>, std::greater<Next>> queue_;
};

#endif  // VELORANTIS_HELPER_MERGE_CAPTURE_MERGE_H_
