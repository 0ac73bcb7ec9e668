// The metric families the metrics command exposes, and where each one's
// values come from.
#ifndef VELORANTIS_HELPER_METRICS_METRIC_FAMILIES_H_
#define VELORANTIS_HELPER_METRICS_METRIC_FAMILIES_H_

#include <span>

enum class FamilySource {
  kCaptureRunning,  // 1 while the capture row's status is 1, else 0
  kCapture,         // the capture column `keys[0]`
  kSampleTime,      // the newest date among the device's samples
  kDeviceStat,      // the device-wide statistics series `keys[0]`
  kPortStat,        // the per-port statistics series `keys`, one `size` label each when several
};

struct MetricFamily {
  const char* name;
  const char* type;  // "gauge" or "counter"
  const char* help;
  FamilySource source;
  const char* keys[3];  // capture column or statistics node keys; unused ones null
  // Only from the first statistics table: the second's series of that name
  // counts something else (its first port's "bytes" is the packet total).
  bool firstTableOnly = false;
};

// Every family, in the order they are written.
std::span<const MetricFamily> MetricFamilies();

#endif  // VELORANTIS_HELPER_METRICS_METRIC_FAMILIES_H_
