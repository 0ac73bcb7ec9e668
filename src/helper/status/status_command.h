// The status command: a device's info, capture state and statistics, read
// from the status database.
#ifndef VELORANTIS_HELPER_STATUS_STATUS_COMMAND_H_
#define VELORANTIS_HELPER_STATUS_STATUS_COMMAND_H_

#include <string>

#include "helper/frontend/response.h"

// "status" against the status database at the path chosen at build time.
// Returns 0 on success, -1 on any failure.
int OutputStatus(ResponseBody& body);

// "status" against the database at `statusDb`, which is opened but never
// created. Request variables: "mac" (a MAC text, or "default" for the first
// device the library lists), "from" and "limit" (the statistics window).
// Appends to `out` exactly one result node and, on success only, the "info"
// and "capture" nodes after it, and to `tail` the non-empty "statsV1" and
// "statsV2" nodes, each node preceded by ",\n"; nothing is appended before
// the outcome is known. Returns 0 on success, -1 on any failure. Throws
// std::bad_alloc when memory runs out; what it appended is then to be dropped.
int OutputStatus(std::string& out, TextPieces& tail, const char* statusDb);

#endif  // VELORANTIS_HELPER_STATUS_STATUS_COMMAND_H_
