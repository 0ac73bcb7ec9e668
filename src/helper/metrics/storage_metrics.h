// The capture files' storage in the text exposition format: the retention
// policy, the bytes in use, each folder's free space and the removals.
#ifndef VELORANTIS_HELPER_METRICS_STORAGE_METRICS_H_
#define VELORANTIS_HELPER_METRICS_STORAGE_METRICS_H_

#include <string>
#include <vector>

#include "helper/removal/removal_counts.h"
#include "helper/retention/retention.h"
#include "shared/status.h"

// Appends the storage families for `state` and `removals`.
void WriteStorageMetrics(std::string& out, const StorageState& state,
                         const std::vector<RemovalCount>& removals);

// The records database's state and removals, written as above; nothing when
// the database cannot be read (the devices' figures go out regardless).
// Fails only when memory ran out (kNotEnoughMemory).
Status AppendStorageMetrics(std::string& out);

#endif  // VELORANTIS_HELPER_METRICS_STORAGE_METRICS_H_
