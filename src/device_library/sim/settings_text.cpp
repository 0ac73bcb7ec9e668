#include "settings_text.h"

#include <charconv>
#include <cstdint>

namespace velorantis::sim {
namespace {

constexpr std::string_view kDestinationKey = "destination";

// wchar_t is signed on some targets and unsigned on others; going through
// uint32_t turns a negative value into one that does not fit either.
bool FitsByte(wchar_t c) { return static_cast<uint32_t>(c) <= 255; }

// One field of a record's text: its key and how to read its value.
template <typename Record>
struct Field {
  std::string_view key;
  unsigned long long (*value)(const Record&);
};

template <auto Member, typename Record>
unsigned long long Read(const Record& record) {
  return record.*Member;
}

using Features = VelorantisAPIDeviceFeatures;
using Config = VelorantisAPIDiskDumpConfig;

// Every word of the features, keyed by its offset.
constexpr Field<Features> kFeatureFields[] = {
    {"w0", Read<&Features::word0>},           {"w4", Read<&Features::word4>},
    {"w8", Read<&Features::word8>},           {"w12", Read<&Features::word12>},
    {"w16", Read<&Features::slicingEnabled>}, {"w20", Read<&Features::inlineEnabled>},
    {"w24", Read<&Features::word24>},         {"w28", Read<&Features::word28>},
    {"w32", Read<&Features::word32>},         {"w36", Read<&Features::word36>},
    {"w40", Read<&Features::word40>},         {"w44", Read<&Features::word44>},
    {"h48", Read<&Features::half48>},         {"w52", Read<&Features::word52>},
    {"w56", Read<&Features::word56>},         {"w60", Read<&Features::word60>},
    {"h64", Read<&Features::slicingValue>},
};

// The configuration's numbers; the destination follows them.
constexpr Field<Config> kConfigFields[] = {
    {"loop", Read<&Config::loop>},   {"reserved1", Read<&Config::reserved1>},
    {"size", Read<&Config::size>},   {"ramSize", Read<&Config::ramSize>},
    {"count", Read<&Config::count>}, {"duration", Read<&Config::duration>},
};

template <typename Record, size_t N>
std::string FieldsText(const Record& record, const Field<Record> (&fields)[N]) {
  std::string text;
  for (const Field<Record>& field : fields) {
    if (!text.empty()) text += ' ';
    text += field.key;
    text += '=';
    text += std::to_string(field.value(record));
  }
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

std::string FeaturesFields(const VelorantisAPIDeviceFeatures& features) {
  return FieldsText(features, kFeatureFields);
}

std::string ConfigFields(const VelorantisAPIDiskDumpConfig& config) {
  return FieldsText(config, kConfigFields) +
         " destination=" + DestinationForLog(config.destination);
}

std::string ConfigStateText(const VelorantisAPIDiskDumpConfig& config) {
  std::string text = FieldsText(config, kConfigFields);
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
