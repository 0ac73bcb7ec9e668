// Capture control: list the devices, start and stop a capture to disk.
#ifndef VELORANTIS_HELPER_CAPTURE_CAPTURE_COMMANDS_H_
#define VELORANTIS_HELPER_CAPTURE_CAPTURE_COMMANDS_H_

#include "helper/frontend/request.h"
#include "helper/frontend/response.h"
#include "shared/paths.h"

// "list": the "devices" node with the MAC text and model of every device
// that can be identified. Never fails.
Status OutputList(const Request& request, ResponseBody& body);

// "start": starts a capture to disk on the device "mac" names, with the
// request's "output", "loop", "count", "size" and "duration" and the stored
// inline mode and slicing, unless one runs there already. Refuses a folder
// or capture file it cannot use (CheckDestination) before the device is
// asked, and a capture file another device's capture writes; keeps the data
// of an earlier capture in that file under a dated name. Every start that
// reaches the device's features leaves a row in the capture ledger
// (the records database). Writes no node.
// The change lock (program_paths.lockFile) is held from the status check to
// the start.
Status StartCapture(const Request& request, ResponseBody& body);

// "stop": stops the capture on the device "mac" names; kFailedStop (result
// -2) when the library refuses, or the change lock's failure. The
// ledger's running captures of the device are marked stopped by this
// request, or ended by themselves when the device was idle already. Writes
// no node.
Status StopCapture(const Request& request, ResponseBody& body);

// "captures": the capture ledger, newest first; "mac" (absent or "all":
// every device), "limit" (default 20) and "before" (an id) choose the
// entries; the dispatcher's housekeeping step has noted the ends of
// captures whose devices are idle. Writes the "access" node (the request's "user", its
// "role" and "roles": 1 when a roles file is configured, 0 when everyone
// may do everything) and the "captures" node; fails with kInvalidLimit
// or kInvalidBefore for a value that is not a decimal number, and with
// kCannotLoadCaptures when the ledger cannot be read.
Status OutputCaptures(const Request& request, ResponseBody& body);

#endif  // VELORANTIS_HELPER_CAPTURE_CAPTURE_COMMANDS_H_
