#include "helper/download/extract_command.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "helper/download/capture_open.h"
#include "helper/download/merged_answer.h"
#include "helper/download/time_window.h"
#include "helper/ledger/ledger_store.h"
#include "helper/pcapng/packet_span.h"
#include "helper/records_db/records_db.h"

namespace {

// A capture that meets the window, open.
struct Meeting {
  UnixNanos first;
  int fd;
};

// The device's packet times over all its captures; -1 for none.
struct DeviceSpan {
  UnixNanos first = -1;
  UnixNanos last = -1;

  void Add(UnixNanos from, UnixNanos to) {
    if (first < 0 || from < first) first = from;
    if (last < 0 || to > last) last = to;
  }
};

// The captures whose files the extraction reads: running or ended with their
// files still there.
bool HasPackets(const LedgerEntry& entry) {
  return entry.state == "running" || entry.state == "stopped" || entry.state == "ended" ||
         entry.state == "gone";
}

// A device's captures may be many: as many open files as the system allows.
void AllowOpenFiles(size_t files) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= files + 64) return;
  limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, files + 64);
  setrlimit(RLIMIT_NOFILE, &limit);
}

void CloseAll(const std::vector<Meeting>& open) {
  for (const Meeting& capture : open) close(capture.fd);
}

// The device's captures, oldest first, from the ledger; its connection is
// closed before any file is read.
Status ListDeviceCaptures(const char* mac, std::vector<LedgerEntry>& entries) {
  Connection ledger;
  std::vector<LedgerEntry> listed;
  Status read = OpenRecords(DatabaseUse::kReader, ledger);
  if (read.ok()) read = ListCaptures(ledger.get(), mac, kLedgerRows, 0, listed);
  if (!read.ok()) return read.Or(Message::kLedgerUnreadable);
  entries.assign(listed.rbegin(), listed.rend());
  return {};
}

// Opens the captures that meet `window`, in the order their packets start.
// A capture whose ended entry knows its packet times is opened only when
// they meet the window; the others are opened to find them. A file that is
// gone or no longer the capture's is passed over.
Status OpenMeeting(const std::vector<LedgerEntry>& entries, const TimeWindow& window,
                   std::vector<Meeting>& open, DeviceSpan& span) {
  for (const LedgerEntry& entry : entries) {
    if (!HasPackets(entry)) continue;
    const bool known = entry.state != "running" && entry.firstPacket >= 0 && entry.lastPacket >= 0;
    if (known) {
      span.Add(entry.firstPacket, entry.lastPacket);
      if (!window.Meets(entry.firstPacket, entry.lastPacket)) continue;
    }
    int fd = -1;
    struct stat info {};
    if (Status opened = OpenCaptureFile(entry, fd, info); !opened.ok()) {
      if (opened.message != Message::kCannotOpenFile) continue;
      CloseAll(open);
      return opened;
    }
    std::optional<PacketSpan> packets = PacketSpan{entry.firstPacket, entry.lastPacket};
    if (!known) {
      packets = FindPacketSpan(fd, static_cast<uint64_t>(info.st_size));
      if (packets) span.Add(packets->first, packets->last);
    }
    if (!packets || !window.Meets(packets->first, packets->last)) {
      close(fd);
      continue;
    }
    open.push_back({packets->first, fd});
  }
  std::stable_sort(open.begin(), open.end(),
                   [](const Meeting& a, const Meeting& b) { return a.first < b.first; });
  return {};
}

}  // namespace

Status ExtractCaptures(const Request& request, ResponseBody& body) {
  TimeWindow window;
  if (Status read = ReadTimeWindow(request, window); !read.ok()) return read;
  std::string filter;
  if (Status read = ReadFilter(request, filter); !read.ok()) return read;
  const char* mac = nullptr;
  if (Status read = ReadText(request, Key::kMac, mac); !read.ok()) return read;
  std::vector<LedgerEntry> entries;
  if (Status listed = ListDeviceCaptures(mac, entries); !listed.ok()) return listed;
  AllowOpenFiles(entries.size());
  std::vector<Meeting> open;
  DeviceSpan span;
  if (Status opened = OpenMeeting(entries, window, open, span); !opened.ok()) return opened;
  if (open.empty()) {
    NoteNoPackets(body, span.first, span.last);
    return Failed(Message::kNoPacketsInWindow);
  }
  std::vector<int> files;
  for (const Meeting& capture : open) files.push_back(capture.fd);
  return AnswerMerged(request, body, files, mac, window, filter);
}
