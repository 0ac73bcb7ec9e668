// The capture settings that start and setconfig requests carry as numbers,
// read in a fixed order.
#ifndef VELORANTIS_HELPER_CONFIG_REQUEST_SETTINGS_H_
#define VELORANTIS_HELPER_CONFIG_REQUEST_SETTINGS_H_

#include <cstdint>

// The numbers as the request gives them (gentenv_u64: text without digits
// reads as 0); nothing is range-checked here.
struct RequestSettings {
  uint64_t loop = 0;
  uint64_t count = 0;
  uint64_t size = 0;  // MiB
  uint64_t duration = 0;
  uint64_t slicing = 0;
  uint64_t inlineMode = 0;
};

// Reads "loop", "count", "size" and "duration", in this order. Returns null
// when all are present, else the message of the first absent one ("Invalid
// loop value", ...); the fields from that one on are left alone.
const char* ReadDiskDumpSettings(RequestSettings& settings);

// Reads "slicing" and then "inline" the same way ("Invalid slicing value",
// "Invalid inline value").
const char* ReadFeatureSettings(RequestSettings& settings);

#endif  // VELORANTIS_HELPER_CONFIG_REQUEST_SETTINGS_H_
