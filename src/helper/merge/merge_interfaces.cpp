#include "helper/merge/merge_interfaces.h"

MergedInterface MergeInterfaces::Add(const uint8_t* block, uint32_t length, bool bigEndian) {
  MergedInterface merged;
  if (!filter_.empty()) {
    merged.code = filter_.For(Read16(block + 8, bigEndian));
    if (merged.code == nullptr) {
      if (out_ == nullptr) ++leftOut_;
      return merged;
    }
  }
  Bytes encoded = EncodeInterface(block, length, bigEndian);
  if (out_ != nullptr) {
    if (!out_->Append(encoded)) return merged;
  } else if (heldBytes_ + encoded.size() > kHeldBytes) {
    ++leftOut_;
    return merged;
  } else {
    heldBytes_ += encoded.size();
    held_.push_back(std::move(encoded));
  }
  merged.id = next_++;
  return merged;
}

bool MergeInterfaces::StartStreaming(MergeOutput& out) {
  out_ = &out;
  bool going = true;
  for (const Bytes& block : held_) going = going && out.Append(block);
  held_ = {};
  return going;
}
