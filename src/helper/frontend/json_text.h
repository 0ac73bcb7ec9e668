// Writing values into the JSON response.
#ifndef VELORANTIS_HELPER_FRONTEND_JSON_TEXT_H_
#define VELORANTIS_HELPER_FRONTEND_JSON_TEXT_H_

#include <charconv>
#include <string>
#include <string_view>

// Appends `text` as the inside of a JSON string (the caller writes the
// quotes). '"' and '\' are escaped, so are control bytes (below 0x20, and
// 0x7f); valid UTF-8 passes through; a byte that is not part of valid UTF-8 is
// written as \u00XX, the code point of the same value. Printable 7-bit text
// without '"' or '\' comes out unchanged.
void WriteJsonText(std::string& out, std::string_view text);

// Whether `text` is valid UTF-8 (7-bit text included): no stray continuation
// byte, no overlong form, surrogate or code point above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// Appends `value` in plain decimal: no locale, no grouping, '-' only when
// negative.
template <typename Integer>
void AppendDecimal(std::string& out, Integer value) {
  char digits[24];
  auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  (void)error;  // 24 bytes hold every 64-bit value
  out.append(digits, end);
}

// Appends the member `"key": value` (no separator before or after it).
template <typename Integer>
void AppendNumberMember(std::string& out, const char* key, Integer value) {
  out += '"';
  out += key;
  out += "\": ";
  AppendDecimal(out, value);
}

// Appends the member `"key": S.UUUUUU`: `nanos`, Unix nanoseconds, as
// seconds with microseconds (truncated); -1 for a negative `nanos` (not
// known).
inline void AppendSecondsMember(std::string& out, const char* key, int64_t nanos) {
  if (nanos < 0) {
    AppendNumberMember(out, key, -1);
    return;
  }
  AppendNumberMember(out, key, nanos / 1000000000);
  int64_t micros = nanos / 1000 % 1000000;
  char digits[7];
  digits[0] = '.';
  for (int i = 6; i >= 1; --i) {
    digits[i] = static_cast<char>('0' + micros % 10);
    micros /= 10;
  }
  out.append(digits, 7);
}

// Appends the member `"key": "text"` (no separator before or after it),
// `text` written by WriteJsonText.
inline void AppendTextMember(std::string& out, const char* key, std::string_view text) {
  out += '"';
  out += key;
  out += "\": \"";
  WriteJsonText(out, text);
  out += '"';
}

// Appends the node `"name": [`, the items one a line (`write(out, item)`
// each), `]` and a line feed.
template <typename Items, typename Write>
void AppendArrayNode(std::string& out, const char* name, const Items& items, Write write) {
  out += '"';
  out += name;
  out += "\": [\n";
  bool first = true;
  for (const auto& item : items) {
    if (!first) out += ",\n";
    first = false;
    write(out, item);
  }
  out += first ? "]\n" : "\n]\n";
}

#endif  // VELORANTIS_HELPER_FRONTEND_JSON_TEXT_H_
