#include "settings_text.h"

#include <charconv>
#include <cstdint>

namespace velorantis::sim {
namespace {

constexpr std::string_view kDestinationKey = "destination";

// wchar_t is signed on some targets and unsigned on others; going through
// uint32_t turns a negative value into one that does not fit either.
bool FitsByte(wchar_t c) { return static_cast<uint32_t>(c) <= 255; }

void AddField(std::string* text, std::string_view key, unsigned long long value) {
  if (!text->empty()) *text += ' ';
  *text += key;
  *text += '=';
  *text += std::to_string(value);
}

std::string NumericConfigFields(const VelorantisAPIDiskDumpConfig& config) {
  std::string text;
  AddField(&text, "loop", config.loop);
  AddField(&text, "reserved1", config.reserved1);
  AddField(&text, "size", config.size);
  AddField(&text, "ramSize", config.ramSize);
  AddField(&text, "count", config.count);
  AddField(&text, "duration", config.duration);
  return text;
}

// Characters the 8-bit path cannot hold show as '?' in the log only.
std::string DestinationForLog(const wchar_t* destination) {
  std::string text;
  for (const wchar_t* c = destination; c != nullptr && *c != L'\0'; ++c) {
    text += FitsByte(*c) ? static_cast<char>(*c) : '?';
  }
  return OneLine(text);
}

}  // namespace

std::string FeaturesFields(const VelorantisAPIDeviceFeatures& f) {
  std::string text;
  AddField(&text, "w0", f.word0);
  AddField(&text, "w4", f.word4);
  AddField(&text, "w8", f.word8);
  AddField(&text, "w12", f.word12);
  AddField(&text, "w16", f.slicingEnabled);
  AddField(&text, "w20", f.inlineEnabled);
  AddField(&text, "w24", f.word24);
  AddField(&text, "w28", f.word28);
  AddField(&text, "w32", f.word32);
  AddField(&text, "w36", f.word36);
  AddField(&text, "w40", f.word40);
  AddField(&text, "w44", f.word44);
  AddField(&text, "h48", f.half48);
  AddField(&text, "w52", f.word52);
  AddField(&text, "w56", f.word56);
  AddField(&text, "w60", f.word60);
  AddField(&text, "h64", f.slicingValue);
  return text;
}

std::string ConfigFields(const VelorantisAPIDiskDumpConfig& config) {
  return NumericConfigFields(config) + " destination=" + DestinationForLog(config.destination);
}

std::string ConfigStateText(const VelorantisAPIDiskDumpConfig& config) {
  std::string text = NumericConfigFields(config);
  const std::optional<std::string> path = DestinationPath(config.destination);
  if (path) text += " destination=" + *path;
  return text;
}

std::string OneLine(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || byte == '\\') {
      text += "\\x";
      text += kHex[byte >> 4];
      text += kHex[byte & 0xf];
    } else {
      text += c;
    }
  }
  return text;
}

std::optional<std::string> DestinationPath(const wchar_t* destination) {
  if (destination == nullptr) return std::nullopt;
  std::string path;
  for (const wchar_t* c = destination; *c != L'\0'; ++c) {
    if (!FitsByte(*c)) return std::nullopt;
    path += static_cast<char>(*c);
  }
  return path;
}

std::optional<std::string> FieldValue(std::string_view text, std::string_view key) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view field = text.substr(start, end - start);
    if (field.size() > key.size() && field.starts_with(key) && field[key.size()] == '=') {
      const size_t value_at = start + key.size() + 1;
      // The destination may hold spaces, so it takes the rest of the text.
      if (key == kDestinationKey) return std::string(text.substr(value_at));
      return std::string(text.substr(value_at, end - value_at));
    }
    start = end + 1;
  }
  return std::nullopt;
}

uint64_t NumberField(std::string_view text, std::string_view key) {
  const std::optional<std::string> value = FieldValue(text, key);
  uint64_t number = 0;
  if (value) std::from_chars(value->data(), value->data() + value->size(), number);
  return number;
}

}  // namespace velorantis::sim
