#include "helper/config/request_settings.h"

#include <span>

#include "helper/frontend/request_vars.h"

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

const char* ReadDiskDumpSettings(RequestSettings& settings) {
  return ReadVariables(kDiskDumpVariables, settings);
}

const char* ReadFeatureSettings(RequestSettings& settings) {
  return ReadVariables(kFeatureVariables, settings);
}
