// Capture control: list the devices, start and stop a capture to disk.
#ifndef VELORANTIS_HELPER_CAPTURE_CAPTURE_COMMANDS_H_
#define VELORANTIS_HELPER_CAPTURE_CAPTURE_COMMANDS_H_

#include "helper/frontend/response.h"
#include "shared/paths.h"

// "list": the result node (always 0), then the "devices" node with the MAC
// text and model of every device that can be identified. Returns 0.
int OutputList(ResponseBody& body);

// "start": starts a capture to disk on the device "mac" names, with the
// request's "output", "loop", "count", "size" and "duration", unless one runs
// there already. Writes only the result node. Returns 0.
// The change lock (program_paths.lockFile) is held from the status check to
// the start.
int StartCapture(ResponseBody& body);

// "stop": stops the capture on the device "mac" names; -2 "Failed to stop
// capture" when the library refuses, or the change lock's message. Writes
// only the result node. Returns 0.
int StopCapture(ResponseBody& body);

#endif  // VELORANTIS_HELPER_CAPTURE_CAPTURE_COMMANDS_H_
