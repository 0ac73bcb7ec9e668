// The status command: a device's info, capture state and statistics, read
// from the status database.
#ifndef VELORANTIS_HELPER_STATUS_STATUS_COMMAND_H_
#define VELORANTIS_HELPER_STATUS_STATUS_COMMAND_H_

#include "helper/frontend/response.h"
#include "shared/paths.h"

// "status" against the status database (program_paths.statusDb), which is
// opened but never created. Request variables: "mac" (a MAC text, or
// "default" for the first device the library lists), "from" and "limit" (the
// statistics window). Appends to body.text exactly one result node and, on
// success only, the "info" and "capture" nodes after it, and to body.tail the
// non-empty "statsV1" and "statsV2" nodes, each node preceded by ",\n";
// nothing is appended before the outcome is known. When the capture row shows
// the device idle, notes in the ledger the captures that ended by themselves
// (NoteEndedCaptures). Returns 0 on success, -1
// on any failure. Throws std::bad_alloc when memory runs out; what it
// appended is then to be dropped.
int OutputStatus(ResponseBody& body);

#endif  // VELORANTIS_HELPER_STATUS_STATUS_COMMAND_H_
