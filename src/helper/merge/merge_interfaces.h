// The interfaces of a merged capture: every capture's, renumbered in the
// order they are met. Those met before the answer's header is out are held
// (the header says how many were left out); later ones go straight out.
#ifndef VELORANTIS_HELPER_MERGE_MERGE_INTERFACES_H_
#define VELORANTIS_HELPER_MERGE_MERGE_INTERFACES_H_

#include <cstdint>
#include <vector>

#include "helper/filter/packet_filter.h"
#include "helper/merge/block_encoding.h"
#include "helper/merge/merge_output.h"

// One interface of a capture's section as the merge carries it.
struct MergedInterface {
  int64_t id = -1;                  // in the merged capture; -1: its packets are left out
  const FilterCode* code = nullptr;  // null: every packet passes
};

class MergeInterfaces {
 public:
  // What the interfaces held before the header may take; more are left out.
  static constexpr size_t kHeldBytes = 1024 * 1024;

  explicit MergeInterfaces(PacketFilter& filter) : filter_(filter) {}

  // The interface description `block` (`length` bytes, whole) of a section
  // in `bigEndian` order: its number in the merged capture, or -1 where the
  // filter cannot be compiled for its link type or no room is left.
  MergedInterface Add(const uint8_t* block, uint32_t length, bool bigEndian);

  // From now on interfaces go to `out`, the held ones first.
  bool StartStreaming(MergeOutput& out);

  // How many interfaces met before StartStreaming were left out.
  uint32_t leftOut() const { return leftOut_; }

 private:
  PacketFilter& filter_;
  std::vector<Bytes> held_;
  size_t heldBytes_ = 0;
  uint32_t next_ = 0;
  uint32_t leftOut_ = 0;
  MergeOutput* out_ = nullptr;
};

#endif  // VELORANTIS_HELPER_MERGE_MERGE_INTERFACES_H_
