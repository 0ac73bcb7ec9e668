// Captures to disk. A capture's state lives in the state directory, so one
// started by one process is seen, and can be stopped, by later ones.
#ifndef VELORANTIS_SIM_CAPTURE_H_
#define VELORANTIS_SIM_CAPTURE_H_

#include <cstdint>

#include "device_registry.h"

namespace velorantis::sim {

// True while the device's ".capture" marker is there and its writer runs.
bool CaptureRunning(const Device& device);

// Fails when a capture already runs or the configured destination cannot be
// written; otherwise creates the capture file and starts its writer.
bool BeginCapture(const Device& device);

// Ends the writer, which leaves a complete file. Stopping an idle device
// succeeds.
bool EndCapture(const Device& device);

struct CaptureFigures {
  bool running;
  uint64_t written;     // bytes the device's latest capture wrote
  uint64_t cache_used;  // 0 unless running
  uint64_t max_cache;
  int error;  // why the latest capture ended early (an errno), else 0
};

CaptureFigures CaptureState(const Device& device);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_CAPTURE_H_
