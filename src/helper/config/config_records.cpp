#include "helper/config/config_records.h"

#include "helper/config/config_store.h"

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
