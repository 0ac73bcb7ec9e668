#include "helper/download/download_header.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

// 9999-12-31T23:59:59Z. Times are kept between the epoch and this, so the
// calendar arithmetic never overflows whatever a ledger row holds.
constexpr int64_t kLastSecond = 253402300799;

// Calendar fields of a UTC time.
struct UtcTime {
  int year;
  unsigned month, day, weekday, hour, minute, second;
};

UtcTime SplitUtc(int64_t unixSeconds) {
  using namespace std::chrono;
  const int64_t kept = std::clamp<int64_t>(unixSeconds, 0, kLastSecond);
  const int64_t dayNumber = kept / 86400;
  const int64_t secondOfDay = kept % 86400;
  const sys_days date{days{dayNumber}};
  const year_month_day ymd{date};
  return UtcTime{int(ymd.year()),
                 unsigned(ymd.month()),
                 unsigned(ymd.day()),
                 weekday{date}.c_encoding(),
                 static_cast<unsigned>(secondOfDay / 3600),
                 static_cast<unsigned>(secondOfDay / 60 % 60),
                 static_cast<unsigned>(secondOfDay % 60)};
}

}  // namespace

std::string AttachmentName(std::string_view mac, int64_t started) {
  std::string name = "Velorantis-";
  for (char c : mac) {
    const bool kept = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (kept || c == '-') name += c;
    if (c == ':') name += '-';
  }
  const UtcTime t = SplitUtc(started);
  char stamp[48];
  snprintf(stamp, sizeof stamp, "-%04d%02u%02uT%02u%02u%02uZ.pcapng", t.year, t.month, t.day,
           t.hour, t.minute, t.second);
  return name + stamp;
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
