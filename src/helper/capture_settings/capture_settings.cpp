#include "helper/capture_settings/capture_settings.h"

#include <cstring>
#include <span>

#include "helper/frontend/json_text.h"
#include "helper/frontend/request.h"
#include "shared/available_memory.h"

namespace {

// The numbers of a request, before they become settings.
struct RequestNumbers {
  uint64_t loop = 0;
  uint64_t count = 0;
  uint64_t size = 0;  // MiB
  uint64_t duration = 0;
  uint64_t slicing = 0;
  uint64_t inlineMode = 0;
};

struct SettingVariable {
  Key key;
  uint64_t RequestNumbers::*field;
};

constexpr SettingVariable kDiskDumpVariables[] = {
    {Key::kLoop, &RequestNumbers::loop},
    {Key::kCount, &RequestNumbers::count},
    {Key::kSize, &RequestNumbers::size},
    {Key::kDuration, &RequestNumbers::duration},
};

constexpr SettingVariable kFeatureVariables[] = {
    {Key::kSlicing, &RequestNumbers::slicing},
    {Key::kInline, &RequestNumbers::inlineMode},
};

Status ReadVariables(const Request& request, std::span<const SettingVariable> variables,
                     RequestNumbers& numbers) {
  for (const SettingVariable& variable : variables) {
    if (Status read = ReadNumber(request, variable.key, numbers.*variable.field); !read.ok()) {
      return read;
    }
  }
  return {};
}

}  // namespace

void SetDiskDumpNumbers(CaptureSettings& settings, uint64_t loop, uint64_t count, uint64_t size,
                        uint64_t duration) {
  settings.loop = loop != 0;
  settings.count = static_cast<uint32_t>(count);
  settings.size = size;
  settings.duration = static_cast<uint32_t>(duration);
}

void SetFeatureNumbers(CaptureSettings& settings, uint64_t inlineMode, uint64_t slicing) {
  settings.inlineMode = inlineMode != 0;
  settings.slicing = slicing != 0;
  settings.sliceBytes = static_cast<uint16_t>(slicing);
}

Status ReadDiskDumpSettings(const Request& request, CaptureSettings& settings) {
  RequestNumbers numbers;
  if (Status read = ReadVariables(request, kDiskDumpVariables, numbers); !read.ok()) return read;
  SetDiskDumpNumbers(settings, numbers.loop, numbers.count, numbers.size << 20, numbers.duration);
  return {};
}

Status ReadFeatureSettings(const Request& request, CaptureSettings& settings) {
  RequestNumbers numbers;
  if (Status read = ReadVariables(request, kFeatureVariables, numbers); !read.ok()) return read;
  SetFeatureNumbers(settings, numbers.inlineMode, numbers.slicing);
  return {};
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

void FillRecords(const CaptureSettings& settings, VelorantisAPIDeviceFeatures& features,
                 VelorantisAPIDiskDumpConfig& config) {
  config.destination = WidenDestination(settings.destination.c_str());
  config.loop = settings.loop ? 1 : 0;
  config.reserved1 = 0;
  config.size = settings.size;
  config.ramSize = GetAvailableRAMSize() >> 1;
  config.count = settings.count;
  config.duration = settings.duration;
  for (auto word : kOneWords) features.*word = 1;
  for (auto word : kZeroWords) features.*word = 0;
  features.half48 = 0;
  features.inlineEnabled = settings.inlineMode ? 1 : 0;
  features.slicingEnabled = settings.slicing ? 1 : 0;
  features.slicingValue = settings.slicing ? settings.sliceBytes : 0;
}

std::optional<CaptureSettings> SettingsOf(const VelorantisAPIDeviceFeatures& features,
                                          const VelorantisAPIDiskDumpConfig& config) {
  if (config.destination == nullptr) return std::nullopt;
  std::optional<std::string> destination = NarrowDestination(config.destination);
  if (!destination) return std::nullopt;
  return CaptureSettings{std::move(*destination),
                         config.loop == 1,
                         config.count,
                         config.size,
                         config.duration,
                         features.inlineEnabled == 1,
                         features.slicingEnabled == 1,
                         features.slicingValue};
}
