// Captures to disk. A capture's state lives in the state directory, so one
// started by one process is seen, and can be stopped, by later ones.
#ifndef VELORANTIS_SIM_CAPTURE_H_
#define VELORANTIS_SIM_CAPTURE_H_

#include "device_registry.h"

namespace velorantis::sim {

bool CaptureRunning(const Device& device);

// Fails when a capture already runs or the configured destination cannot be
// written; otherwise creates the capture file and marks the capture running.
bool StartCapture(const Device& device);

// Stopping an idle device succeeds.
bool StopCapture(const Device& device);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_CAPTURE_H_
