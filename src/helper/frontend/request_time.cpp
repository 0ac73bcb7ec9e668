#include "helper/frontend/request_time.h"

#include "helper/frontend/utc_time.h"

namespace {

// Reads `count` digits of `text` from `at` into `value`.
bool Digits(std::string_view text, size_t& at, size_t count, unsigned& value) {
  if (text.size() - at < count) return false;
  value = 0;
  for (size_t end = at + count; at < end; ++at) {
    if (text[at] < '0' || text[at] > '9') return false;
    value = value * 10 + static_cast<unsigned>(text[at] - '0');
  }
  return true;
}

// An optional fraction of a second from `at`: '.' and one to nine digits.
bool Fraction(std::string_view text, size_t& at, int64_t& nanos) {
  nanos = 0;
  if (at >= text.size() || text[at] != '.') return true;
  size_t digits = 0;
  for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
    if (digits == 9) return false;
    nanos = nanos * 10 + (text[at] - '0');
  }
  for (size_t k = digits; k < 9; ++k) nanos *= 10;
  return digits > 0;
}

std::optional<int64_t> UnixSecondsText(std::string_view text) {
  size_t at = 0;
  int64_t seconds = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    if (seconds > (INT64_MAX / kNanosPerSecond - 9) / 10) return std::nullopt;
    seconds = seconds * 10 + (text[at] - '0');
  }
  int64_t nanos = 0;
  if (at == 0 || !Fraction(text, at, nanos) || at != text.size()) return std::nullopt;
  return seconds * kNanosPerSecond + nanos;
}

std::optional<int64_t> Rfc3339Text(std::string_view text) {
  UtcTime t{};
  unsigned year = 0;
  size_t at = 0;
  const auto separator = [&](char a, char b = '\0') {
    if (at >= text.size() || (text[at] != a && text[at] != b)) return false;
    ++at;
    return true;
  };
  if (!Digits(text, at, 4, year) || !separator('-') || !Digits(text, at, 2, t.month) ||
      !separator('-') || !Digits(text, at, 2, t.day) || !separator('T', 't') ||
      !Digits(text, at, 2, t.hour) || !separator(':') || !Digits(text, at, 2, t.minute) ||
      !separator(':') || !Digits(text, at, 2, t.second)) {
    return std::nullopt;
  }
  t.year = static_cast<int>(year);
  int64_t nanos = 0;
  if (!Fraction(text, at, nanos)) return std::nullopt;
  const std::string_view zone = text.substr(at);
  if (zone != "Z" && zone != "z" && zone != "+00:00" && zone != "-00:00") return std::nullopt;
  // Nanoseconds since 1970 reach as far as 2262.
  const std::optional<int64_t> seconds = UnixSecondsOf(t);
  if (!seconds || *seconds >= INT64_MAX / kNanosPerSecond) return std::nullopt;
  return *seconds * kNanosPerSecond + nanos;
}

}  // namespace

std::optional<int64_t> ParseRequestTime(std::string_view text) {
  return text.find('-') == std::string_view::npos ? UnixSecondsText(text) : Rfc3339Text(text);
}
