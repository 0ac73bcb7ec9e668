#include "helper/download/window_download.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include "helper/download/download_header.h"
#include "helper/download/file_sender.h"
#include "helper/frontend/audit_note.h"
#include "helper/frontend/json_text.h"
#include "helper/pcapng/pcapng_blocks.h"

namespace {

// Written out in pieces of this size.
constexpr size_t kOutBytes = 1024 * 1024;
// The header blocks of a section held back until its first packet in the
// window: never more than this.
constexpr size_t kMostHeldBytes = 4 * 1024 * 1024;

// What a window keeps of a block: the packets in it, and the blocks that
// describe what follows (section and interface headers, name resolution,
// decryption secrets). Not packets outside it, nor packets without a time
// (simple packet blocks), nor the interfaces' statistics, which count the
// whole capture, nor custom blocks and blocks of types not known.
bool Keeps(const BlockReader& reader, const Block& block, const TimeWindow& window) {
  switch (block.type) {
    case kEnhancedPacketBlock:
    case kObsoletePacketBlock: {
      const std::optional<UnixNanos> time = reader.TimeOf(block);
      return time && window.Holds(*time);
    }
    case kSectionHeaderBlock:
    case kInterfaceBlock:
    case kNameResolutionBlock:
    case kDecryptionSecretsBlock:
      return true;
    default:
      return false;
  }
}

bool IsPacket(const Block& block) {
  return block.type == kEnhancedPacketBlock || block.type == kObsoletePacketBlock;
}

// The bytes that go out, gathered into large writes.
class Output {
 public:
  explicit Output(int fd) : fd_(fd) { pending_.reserve(kOutBytes); }

  bool Append(const uint8_t* bytes, size_t count) {
    if (pending_.size() + count > kOutBytes && !Flush()) return false;
    pending_.insert(pending_.end(), bytes, bytes + count);
    return true;
  }
  // A block too long for the reader's head: from the file, as it is.
  bool Copy(int file, const Block& block) {
    if (!Flush()) return false;
    const uint64_t sent = SendFileSpan(fd_, file, block.offset, block.length);
    sent_ += sent;
    return sent == block.length;
  }
  bool Flush() {
    for (size_t done = 0; done < pending_.size();) {
      const ssize_t wrote = write(fd_, pending_.data() + done, pending_.size() - done);
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) return false;
      done += static_cast<size_t>(wrote);
      sent_ += static_cast<uint64_t>(wrote);
    }
    pending_.clear();
    return true;
  }
  uint64_t sent() const { return sent_; }

 private:
  int fd_;
  std::vector<uint8_t> pending_;
  uint64_t sent_ = 0;
};

// A kept block into `to`; a section header says its section's length is not
// known, as the window changes it.
void Hold(std::vector<uint8_t>& to, const Block& block) {
  const size_t at = to.size();
  to.insert(to.end(), block.head, block.head + block.length);
  if (block.type == kSectionHeaderBlock && block.length >= 24) {
    std::fill(to.begin() + static_cast<ptrdiff_t>(at) + 16,
              to.begin() + static_cast<ptrdiff_t>(at) + 24, 0xff);
  }
}

// The scan from the handler to the writer: the reader stands after the
// first packet in the window, `held` has its section's header blocks and
// that packet.
struct WindowScan {
  int fd = -1;
  std::unique_ptr<BlockReader> reader;
  TimeWindow window;
  std::vector<uint8_t> held;
  Block firstLong;  // the first packet, when too long to be held
  std::string header;
};

void WriteWindow(FILE* stream, WindowScan& scan) {
  signal(SIGPIPE, SIG_IGN);
  fputs(scan.header.c_str(), stream);
  fflush(stream);
  Output out(fileno(stream));
  bool going = out.Append(scan.held.data(), scan.held.size()) &&
               (scan.firstLong.length == 0 || out.Copy(scan.fd, scan.firstLong));
  std::vector<uint8_t> section;
  Block block;
  // A damaged block ends the window where the file stops being pcapng; a
  // block cut short at the end (a full disk, a capture still writing) is
  // left out.
  while (going && scan.reader->Next(block) == Step::kBlock) {
    if (!Keeps(*scan.reader, block, scan.window)) continue;
    if (block.type == kSectionHeaderBlock) {
      section.clear();
      Hold(section, block);
      going = out.Append(section.data(), section.size());
    } else if (block.headBytes == block.length) {
      going = out.Append(block.head, block.length);
    } else {
      going = out.Copy(scan.fd, block);
    }
  }
  if (going) out.Flush();
  audit_note.bytes = static_cast<int64_t>(out.sent());
  close(scan.fd);
}

std::string WindowHeader(const std::string& mac, const TimeWindow& window) {
  const std::string bounds = (window.from ? CompactTime(*window.from) : "start") + "-" +
                             (window.to ? CompactTime(*window.to) : "end");
  return "Content-type: application/x-pcapng\nContent-Disposition: attachment; filename=\"" +
         AttachmentName(mac, bounds) + "\"\n\n";
}

}  // namespace

Outcome AnswerWindow(ResponseBody& body, int fd, const std::string& mac, const TimeWindow& window) {
  auto scan = std::make_shared<WindowScan>();
  scan->fd = fd;
  scan->reader = std::make_unique<BlockReader>(fd);
  scan->window = window;
  std::optional<UnixNanos> first;
  std::optional<UnixNanos> last;
  bool sections = false;
  Block block;
  while (scan->reader->Next(block) == Step::kBlock) {
    sections = true;
    const std::optional<UnixNanos> time = scan->reader->TimeOf(block);
    if (time) {
      if (!first) first = time;
      last = time;
    }
    if (block.type == kSectionHeaderBlock) scan->held.clear();
    if (!Keeps(*scan->reader, block, window)) continue;
    if (IsPacket(block)) {
      if (block.headBytes == block.length) {
        scan->held.insert(scan->held.end(), block.head, block.head + block.length);
      } else {
        scan->firstLong = block;
      }
      scan->header = WindowHeader(mac, window);
      body.writer = [scan](FILE* stream) { WriteWindow(stream, *scan); };
      return {};
    }
    if (scan->held.size() + block.length > kMostHeldBytes) break;
    Hold(scan->held, block);
  }
  close(fd);
  if (!sections) return Failed(Message::kNotPcapng);
  AppendSecondsMember(body.failureNodes, "first", first.value_or(-1));
  body.failureNodes += ",\n";
  AppendSecondsMember(body.failureNodes, "last", last.value_or(-1));
  return Failed(Message::kNoPacketsInWindow);
}
