#include "helper/merge/capture_merge.h"

#include <algorithm>

#include "helper/merge/block_encoding.h"
#include "helper/merge/merge_output.h"

CaptureMerge::CaptureMerge(const std::vector<int>& files, const TimeWindow& window,
                           PacketFilter& filter, uint32_t readBytes)
    : interfaces_(filter) {
  if (readBytes == 0) {
    const size_t share = kReaderBytes / std::max<size_t>(files.size(), 1);
    readBytes = static_cast<uint32_t>(
        std::clamp<size_t>(share, kLeastReaderBytes, BlockReader::kReadBytes));
  }
  sources_.reserve(files.size());
  for (int fd : files) {
    sources_.push_back(std::make_unique<CaptureSource>(fd, readBytes, window, interfaces_));
  }
  for (size_t i = 0; i < sources_.size(); ++i) {
    if (sources_[i]->Advance()) queue_.push({sources_[i]->time(), i});
  }
}

uint64_t CaptureMerge::WriteTo(int fd) {
  MergeOutput out(fd);
  bool going = out.Append(SectionHeader()) && interfaces_.StartStreaming(out);
  while (going && !queue_.empty()) {
    const size_t index = queue_.top().second;
    queue_.pop();
    CaptureSource& source = *sources_[index];
    going = source.Write(out);
    if (source.Advance()) queue_.push({source.time(), index});
  }
  if (going) out.Flush();
  sources_.clear();  // the files close
  return out.sent();
}
