#include "helper/download/download_header.h"

#include <cstdio>

#include "helper/frontend/utc_time.h"

std::string AttachmentName(std::string_view mac, std::string_view when) {
  std::string name = "Velorantis-";
  for (char c : mac) {
    const bool kept = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (kept || c == '-') name += c;
    if (c == ':') name += '-';
  }
  name += '-';
  name += when;
  name += ".pcapng";
  return name;
}

std::string AttachmentName(std::string_view mac, int64_t started) {
  return AttachmentName(mac, CompactUtc(started));
}

std::string HttpDate(int64_t seconds) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const UtcTime t = SplitUtc(seconds);
  char text[48];
  snprintf(text, sizeof text, "%s, %02u %s %04d %02u:%02u:%02u GMT", kDays[t.weekday], t.day,
           kMonths[t.month - 1], t.year, t.hour, t.minute, t.second);
  return text;
}

std::string FileTag(uint64_t inode, uint64_t size, int64_t modifiedSeconds, int64_t nanoseconds) {
  char text[96];
  snprintf(text, sizeof text, "\"%llx-%llx-%llx.%09lld\"", static_cast<unsigned long long>(inode),
           static_cast<unsigned long long>(size), static_cast<unsigned long long>(modifiedSeconds),
           static_cast<long long>(nanoseconds));
  return text;
}

namespace {

// The fields that name and describe the file, whoever sends it: those before
// the length and those after it.
std::string NameFields(const DownloadedFile& file) {
  return "Content-type: application/x-pcapng\nContent-Disposition: attachment; filename=\"" +
         AttachmentName(file.mac, file.started) + "\"\n";
}

std::string StateFields(const DownloadedFile& file) {
  const std::string modified =
      file.modified.empty() ? "" : "Last-Modified: " + file.modified + "\n";
  return "Accept-Ranges: bytes\nETag: " + file.tag + "\n" + modified;
}

}  // namespace

std::string DownloadHeader(const DownloadedFile& file, const ByteRange& range) {
  std::string header;
  if (range.kind == RangeKind::kPart) header += "Status: 206 Partial Content\n";
  header += NameFields(file) + "Content-Length: " + std::to_string(range.length) + "\n";
  if (range.kind == RangeKind::kPart) {
    header += "Content-Range: bytes " + std::to_string(range.first) + "-" +
              std::to_string(range.first + range.length - 1) + "/" + std::to_string(file.size) +
              "\n";
  }
  return header + StateFields(file) + "\n";
}

std::string HandOverHeader(const DownloadedFile& file, std::string_view serverPath) {
  return NameFields(file) + StateFields(file) + "X-Sendfile: " + std::string(serverPath) + "\n\n";
}
