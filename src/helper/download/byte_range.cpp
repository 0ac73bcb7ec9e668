#include "helper/download/byte_range.h"

#include <cstring>
#include <limits>
#include <string_view>

namespace {

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

void SkipBlanks(std::string_view& text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
}

// Reads the decimal digits at the front of `text` into `value`, saturating;
// false, with `value` left alone, when there are none.
bool ReadNumber(std::string_view& text, uint64_t& value) {
  size_t digits = 0;
  uint64_t number = 0;
  for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
    const uint64_t digit = static_cast<uint64_t>(text[digits] - '0');
    number = number > (kMax - digit) / 10 ? kMax : number * 10 + digit;
  }
  text.remove_prefix(digits);
  if (digits > 0) value = number;
  return digits > 0;
}

// The unit is case-insensitive; blanks may surround the range.
bool TakeBytesUnit(std::string_view& text) {
  SkipBlanks(text);
  if (text.size() < 6 || strncasecmp(text.data(), "bytes=", 6) != 0) return false;
  text.remove_prefix(6);
  SkipBlanks(text);
  return true;
}

ByteRange Part(uint64_t first, uint64_t last) {
  return ByteRange{RangeKind::kPart, first, last - first + 1};
}

}  // namespace

ByteRange ParseByteRange(const char* header, uint64_t size) {
  const ByteRange whole{RangeKind::kWhole, 0, size};
  const ByteRange unsatisfiable{RangeKind::kUnsatisfiable, 0, 0};
  if (header == nullptr) return whole;
  std::string_view text(header);
  if (!TakeBytesUnit(text)) return whole;
  uint64_t first = 0;
  uint64_t last = kMax;
  const bool suffix = !ReadNumber(text, first);
  if (text.empty() || text.front() != '-') return whole;
  text.remove_prefix(1);
  const bool hasLast = ReadNumber(text, last);
  SkipBlanks(text);
  // A comma means a set of ranges, served whole.
  if (!text.empty() || (suffix && !hasLast) || (!suffix && last < first)) return whole;
  if (suffix) {
    if (last == 0 || size == 0) return unsatisfiable;
    return Part(last >= size ? 0 : size - last, size - 1);
  }
  if (first >= size) return unsatisfiable;
  return Part(first, last >= size ? size - 1 : last);
}
