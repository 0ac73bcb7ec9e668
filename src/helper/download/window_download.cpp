#include "helper/download/window_download.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include "helper/download/download_header.h"
#include "helper/download/file_sender.h"
#include "helper/download/merged_answer.h"
#include "helper/frontend/json_text.h"
#include "helper/pcapng/pcapng_blocks.h"

namespace {

// Written out in pieces of this size.
constexpr size_t kOutBytes = 1024 * 1024;

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
  // `length` bytes of the file from `offset`, as they are, streamed by the
  // kernel: blocks too long for the reader's head, and runs of blocks
  // noted before the window's first packet.
  bool Copy(int file, uint64_t offset, uint64_t length) {
    if (!Flush()) return false;
    const uint64_t sent = SendFileSpan(fd_, file, offset, length);
    sent_ += sent;
    return sent == length;
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

// A section header block as it goes out: saying its section's length is
// not known, as the window changes it. Always whole in the reader's head.
void HoldSection(std::vector<uint8_t>& to, const Block& block) {
  to.assign(block.head, block.head + block.length);
  if (block.length >= 24) std::fill(to.begin() + 16, to.begin() + 24, 0xff);
}

// A kept block other than a section header: from the reader's head when it
// holds all of it, else streamed from the file.
bool Send(Output& out, int fd, const Block& block) {
  if (block.headBytes == block.length) return out.Append(block.head, block.length);
  return out.Copy(fd, block.offset, block.length);
}

// Blocks back to back in the file.
struct Span {
  uint64_t offset;
  uint64_t length;
};

// The scan from the handler to the writer: the reader stands after the
// first packet in the window. Before it go its section's header
// (`section`), then the kept blocks of that section up to `rescanUntil`,
// found again by reading the section anew, then `spans`, which end with
// the first packet: the blocks are sent from the file, whatever their sizes,
// and memory stays bounded whatever lies before the window.
struct WindowScan {
  int fd = -1;
  uint32_t readBytes = 0;
  std::unique_ptr<BlockReader> reader;
  TimeWindow window;
  bool headerOnly = false;
  std::vector<uint8_t> section;
  uint64_t sectionStart = 0;
  uint64_t rescanUntil = 0;
  std::vector<Span> spans;
  size_t mostSpans = 0;  // taking no more memory than the reader's buffer
  std::string header;
  int64_t* sent = nullptr;  // the audit's bytes sent

  void StartSection(const Block& block) {
    HoldSection(section, block);
    sectionStart = block.offset;
    rescanUntil = 0;
    spans.clear();
  }
  // A kept block of the section: it joins the span it follows; when the
  // spans are many, those so far are left to reading the section again.
  void Note(const Block& block) {
    if (!spans.empty() && spans.back().offset + spans.back().length == block.offset) {
      spans.back().length += block.length;
      return;
    }
    if (spans.size() == mostSpans) {
      rescanUntil = spans.back().offset + spans.back().length;
      spans.clear();
    }
    spans.push_back({block.offset, block.length});
  }
};

// The kept blocks between the first packet's section header, sent already,
// and `rescanUntil`, read anew: header blocks only, no packet lies there.
bool SendAgain(Output& out, const WindowScan& scan) {
  BlockReader again(scan.fd, scan.sectionStart, scan.readBytes);
  Block block;
  if (again.Next(block) != Step::kBlock) return false;
  while (again.Next(block) == Step::kBlock) {
    if (block.offset >= scan.rescanUntil) return true;
    if (Keeps(again, block, scan.window) && !Send(out, scan.fd, block)) return false;
  }
  return false;  // the file is no longer what the scan read
}

void WriteWindow(FILE* stream, WindowScan& scan) {
  signal(SIGPIPE, SIG_IGN);
  fputs(scan.header.c_str(), stream);
  fflush(stream);
  if (scan.headerOnly) {
    close(scan.fd);
    return;
  }
  Output out(fileno(stream));
  bool going = out.Append(scan.section.data(), scan.section.size()) &&
               (scan.rescanUntil == 0 || SendAgain(out, scan));
  for (const Span& span : scan.spans) {
    going = going && out.Copy(scan.fd, span.offset, span.length);
  }
  Block block;
  // A damaged block ends the window where the file stops being pcapng; a
  // block cut short at the end (a full disk, a capture still writing) is
  // left out.
  while (going && scan.reader->Next(block) == Step::kBlock) {
    if (!Keeps(*scan.reader, block, scan.window)) continue;
    if (block.type == kSectionHeaderBlock) {
      HoldSection(scan.section, block);
      going = out.Append(scan.section.data(), scan.section.size());
    } else {
      going = Send(out, scan.fd, block);
    }
  }
  if (going) out.Flush();
  *scan.sent = static_cast<int64_t>(out.sent());
  close(scan.fd);
}

std::string WindowHeader(const std::string& mac, const TimeWindow& window) {
  return "Content-type: application/x-pcapng\nContent-Disposition: attachment; filename=\"" +
         WindowAttachmentName(mac, window) + "\"\n\n";
}

}  // namespace

Status AnswerWindow(ResponseBody& body, int fd, const std::string& mac, const TimeWindow& window,
                    bool headerOnly, uint32_t readBytes) {
  auto scan = std::make_shared<WindowScan>();
  scan->fd = fd;
  scan->readBytes = readBytes;
  scan->reader = std::make_unique<BlockReader>(fd, 0, readBytes);
  scan->window = window;
  scan->headerOnly = headerOnly;
  scan->sent = &body.audit.bytes;
  scan->mostSpans = std::max<size_t>(readBytes / sizeof(Span), 1);
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
    if (block.type == kSectionHeaderBlock) {
      scan->StartSection(block);
      continue;
    }
    if (!Keeps(*scan->reader, block, window)) continue;
    scan->Note(block);
    if (IsPacket(block)) {
      scan->header = WindowHeader(mac, window);
      body.writer = [scan](FILE* stream) { WriteWindow(stream, *scan); };
      return {};
    }
  }
  close(fd);
  if (!sections) return Failed(Message::kNotPcapng);
  NoteNoPackets(body, first.value_or(-1), last.value_or(-1));
  return Failed(Message::kNoPacketsInWindow);
}
