#include "helper/merge/capture_source.h"

#include <unistd.h>

namespace {

constexpr uint8_t kPadding[4] = {};

}  // namespace

CaptureSource::CaptureSource(int fd, uint32_t readBytes, const TimeWindow& window,
                             MergeInterfaces& interfaces)
    : fd_(fd), reader_(fd, 0, readBytes), window_(window), interfaces_(interfaces) {}

CaptureSource::~CaptureSource() { close(fd_); }

bool CaptureSource::Advance() {
  while (reader_.Next(block_) == Step::kBlock) {
    const bool bigEndian = reader_.bigEndian();
    if (block_.type == kSectionHeaderBlock) {
      section_.clear();
    } else if (block_.type == kInterfaceBlock) {
      // The reader has taken it whole, or it would have stopped there.
      section_.push_back(interfaces_.Add(block_.head, block_.length, bigEndian));
    } else if (block_.type == kEnhancedPacketBlock || block_.type == kObsoletePacketBlock) {
      const std::optional<UnixNanos> time = reader_.TimeOf(block_);
      if (!time || !window_.Holds(*time) ||
          !ReadPacket(block_.type, block_.head, block_.headBytes, block_.length, bigEndian,
                      fields_) ||
          fields_.interface >= section_.size()) {
        continue;
      }
      const MergedInterface& interface = section_[fields_.interface];
      if (interface.id < 0 ||
          (interface.code != nullptr &&
           !PacketFilter::Matches(*interface.code, fields_.data, fields_.dataAtHand,
                                  fields_.wire))) {
        continue;
      }
      id_ = interface.id;
      time_ = *time;
      return true;
    }
  }
  return false;
}

bool CaptureSource::Write(MergeOutput& out) const {
  const uint32_t captured = fields_.captured;
  const uint32_t padding = ((captured + 3u) & ~3u) - captured;
  const uint32_t optionsAt = kPacketHeadBytes + captured + padding;
  // A block too long for the reader's buffer goes without its options; its
  // packet is copied from the file.
  const bool whole = block_.headBytes == block_.length;
  const uint32_t optionBytes = whole && optionsAt + 4 <= block_.length
                                   ? block_.length - 4 - optionsAt : 0;
  const uint8_t* options = block_.head + optionsAt;
  const bool turned = IsTurned(reader_.bigEndian());
  const Bytes turnedOptions =
      turned && optionBytes > 0 ? PacketOptions(options, optionBytes, reader_.bigEndian()) : Bytes{};
  const uint32_t keptOptions = turned ? static_cast<uint32_t>(turnedOptions.size()) : optionBytes;
  const uint32_t length = PacketBlockLength(captured, keptOptions);
  uint8_t head[kPacketHeadBytes];
  PutPacketHead(head, static_cast<uint32_t>(id_), fields_, length);
  bool going = out.Append(head, sizeof head);
  going = going && (whole ? out.Append(fields_.data, captured)
                          : out.AppendFromFile(fd_, block_.offset + kPacketHeadBytes, captured));
  going = going && out.Append(kPadding, padding);
  if (turned) {
    going = going && out.Append(turnedOptions);
  } else {
    going = going && out.Append(options, keptOptions);
  }
  return going && out.Append(reinterpret_cast<const uint8_t*>(&length), 4);
}
