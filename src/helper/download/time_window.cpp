#include "helper/download/time_window.h"

#include <cstdint>

#include "helper/download/download_header.h"
#include "helper/frontend/request_time.h"
#include "helper/frontend/utc_time.h"

bool AsksForWindow(const Request& request) {
  return KeyText(request, Key::kWindowFrom) != nullptr ||
         KeyText(request, Key::kWindowTo) != nullptr;
}

Status ReadTimeWindow(const Request& request, TimeWindow& window) {
  if (Status read = ReadTime(request, Key::kWindowFrom, window.from); !read.ok()) return read;
  if (Status read = ReadTime(request, Key::kWindowTo, window.to); !read.ok()) return read;
  if (window.from && window.to && *window.to < *window.from) {
    return Failed(Message::kReversedWindow);
  }
  return {};
}

std::string CompactTime(UnixNanos time) {
  std::string text = CompactUtc(time / kNanosPerSecond);
  int64_t nanos = time % kNanosPerSecond;
  if (nanos == 0) return text;
  std::string fraction = ".";
  for (int64_t unit = kNanosPerSecond / 10; nanos > 0; unit /= 10) {
    fraction += static_cast<char>('0' + nanos / unit);
    nanos %= unit;
  }
  return text.insert(text.size() - 1, fraction);
}

std::string WindowAttachmentName(const std::string& mac, const TimeWindow& window) {
  const std::string bounds = (window.from ? CompactTime(*window.from) : "start") + "-" +
                             (window.to ? CompactTime(*window.to) : "end");
  return AttachmentName(mac, bounds);
}
