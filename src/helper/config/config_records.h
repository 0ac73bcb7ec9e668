// Filling the device library's two configuration records: the fixed content
// every writer puts in them, and the settings a request gives.
#ifndef VELORANTIS_HELPER_CONFIG_CONFIG_RECORDS_H_
#define VELORANTIS_HELPER_CONFIG_CONFIG_RECORDS_H_

#include <cstdint>

#include "VelorantisAPI.h"
#include "helper/config/request_settings.h"

// Words 0 and 4 to 1, the other unnamed words (8, 12, 24 to 44, the half-word
// at 48, 52, 56, 60) to 0. Leaves the slicing and inline fields and the two
// padding gaps as they were.
void SetFixedFeatureWords(VelorantisAPIDeviceFeatures& features);

// Slicing from a configured number: flag 1 and the number's low 16 bits as
// the value when it is non-zero, both 0 when it is 0.
void SetSlicing(VelorantisAPIDeviceFeatures& features, uint64_t slicing);

// reserved1 to 0 and ramSize to half of GetAvailableRAMSize(). Leaves
// reserved0 as it was.
void SetFixedDiskDumpFields(VelorantisAPIDiskDumpConfig& config);

// loop (1 when non-zero), count and duration (their low 32 bits) and size
// (MiB shifted left by 20, modulo 2^64) from the request's numbers.
void SetDiskDumpNumbers(VelorantisAPIDiskDumpConfig& config, const RequestSettings& settings);

#endif  // VELORANTIS_HELPER_CONFIG_CONFIG_RECORDS_H_
