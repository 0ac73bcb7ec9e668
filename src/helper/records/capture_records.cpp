#include "helper/records/capture_records.h"

#include <cstring>
#include <span>

#include "helper/frontend/json_text.h"
#include "helper/frontend/request_vars.h"
#include "shared/available_memory.h"

namespace {

struct SettingVariable {
  const char* name;
  const char* absentMessage;
  uint64_t RequestSettings::*field;
};

constexpr SettingVariable kDiskDumpVariables[] = {
    {"loop", "Invalid loop value", &RequestSettings::loop},
    {"count", "Invalid count value", &RequestSettings::count},
    {"size", "Invalid size value", &RequestSettings::size},
    {"duration", "Invalid duration value", &RequestSettings::duration},
};

constexpr SettingVariable kFeatureVariables[] = {
    {"slicing", "Invalid slicing value", &RequestSettings::slicing},
    {"inline", "Invalid inline value", &RequestSettings::inlineMode},
};

const char* ReadVariables(std::span<const SettingVariable> variables, RequestSettings& settings) {
  for (const SettingVariable& variable : variables) {
    if (gentenv_u64(variable.name, settings.*variable.field) != 0) return variable.absentMessage;
  }
  return nullptr;
}

}  // namespace

const char* ReadOutput(const char*& output) {
  output = getvar("output");
  if (output == nullptr || !IsValidUtf8(output)) return "Invalid destination value";
  return nullptr;
}

const char* ReadDiskDumpSettings(RequestSettings& settings) {
  return ReadVariables(kDiskDumpVariables, settings);
}

const char* ReadFeatureSettings(RequestSettings& settings) {
  return ReadVariables(kFeatureVariables, settings);
}

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

namespace {

using Features = VelorantisAPIDeviceFeatures;

constexpr uint32_t Features::*kOneWords[] = {&Features::word0, &Features::word4};
constexpr uint32_t Features::*kZeroWords[] = {
    &Features::word8,  &Features::word12, &Features::word24, &Features::word28,
    &Features::word32, &Features::word36, &Features::word40, &Features::word44,
    &Features::word52, &Features::word56, &Features::word60,
};

}  // namespace

void SetFixedFeatureWords(VelorantisAPIDeviceFeatures& features) {
  for (auto word : kOneWords) features.*word = 1;
  for (auto word : kZeroWords) features.*word = 0;
  features.half48 = 0;
}

void SetSlicing(VelorantisAPIDeviceFeatures& features, uint64_t slicing) {
  features.slicingEnabled = slicing != 0 ? 1 : 0;
  features.slicingValue = slicing != 0 ? static_cast<uint16_t>(slicing) : 0;
}

void SetFixedDiskDumpFields(VelorantisAPIDiskDumpConfig& config) {
  config.reserved1 = 0;
  config.ramSize = GetAvailableRAMSize() >> 1;
}

void SetDiskDumpNumbers(VelorantisAPIDiskDumpConfig& config, const RequestSettings& settings) {
  config.loop = settings.loop != 0 ? 1 : 0;
  config.count = static_cast<uint32_t>(settings.count);
  config.size = settings.size << 20;
  config.duration = static_cast<uint32_t>(settings.duration);
}
