#include "helper/config/destination.h"

#include <cstdint>
#include <cstring>

wchar_t* WidenDestination(const char* text) {
  const size_t length = strlen(text);
  wchar_t* wide = new wchar_t[length + 1];
  for (size_t i = 0; i < length; ++i) {
    wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
  }
  wide[length] = L'\0';
  return wide;
}

std::optional<std::string> NarrowDestination(const wchar_t* wide) {
  std::string text;
  for (const wchar_t* c = wide; *c != L'\0'; ++c) {
    // Through uint32_t: wchar_t is signed on some targets, and a negative
    // value must not pass for a byte.
    const uint32_t value = static_cast<uint32_t>(*c);
    if (value > 0xff) return std::nullopt;
    text += static_cast<char>(static_cast<unsigned char>(value));
  }
  return text;
}
