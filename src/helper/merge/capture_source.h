// One capture of a merge, read once, block by block, with one buffer: it
// stands on its next packet kept (in the window, of an interface carried,
// passing the filter) until that packet has gone out.
#ifndef VELORANTIS_HELPER_MERGE_CAPTURE_SOURCE_H_
#define VELORANTIS_HELPER_MERGE_CAPTURE_SOURCE_H_

#include <vector>

#include "helper/merge/block_encoding.h"
#include "helper/merge/merge_interfaces.h"
#include "helper/merge/merge_output.h"
#include "helper/pcapng/packet_window.h"
#include "helper/pcapng/pcapng_blocks.h"

class CaptureSource {
 public:
  // Reads the capture open as `fd`, which it takes over, in pieces of
  // `readBytes`; its interfaces join `interfaces`.
  CaptureSource(int fd, uint32_t readBytes, const TimeWindow& window,
                MergeInterfaces& interfaces);
  ~CaptureSource();
  CaptureSource(const CaptureSource&) = delete;
  CaptureSource& operator=(const CaptureSource&) = delete;

  // Moves to the next packet kept; false at the end of the file, or where it
  // stops being pcapng (a damaged or cut block ends it).
  bool Advance();
  // The packet it stands on: its time, and the packet written to `out` as an
  // enhanced packet block of its merged interface.
  UnixNanos time() const { return time_; }
  bool Write(MergeOutput& out) const;

 private:
  int fd_;
  BlockReader reader_;
  TimeWindow window_;
  MergeInterfaces& interfaces_;
  std::vector<MergedInterface> section_;  // the current section's interfaces
  Block block_;
  PacketFields fields_;
  int64_t id_ = -1;
  UnixNanos time_ = 0;
};

#endif  // VELORANTIS_HELPER_MERGE_CAPTURE_SOURCE_H_
