// The status command: a device's info, capture state and statistics, read
// from the status database.
#ifndef VELORANTIS_HELPER_STATUS_STATUS_COMMAND_H_
#define VELORANTIS_HELPER_STATUS_STATUS_COMMAND_H_

#include "helper/frontend/request.h"
#include "helper/frontend/response.h"
#include "shared/paths.h"

// "status" against the status database (program_paths.statusDb), which is
// opened but never created. Request variables: "mac" (a MAC text, or
// "default" for the first device the library lists), "from" and "limit" (the
// statistics window). On success writes the "info" and "capture" nodes to
// body.text and the non-empty "statsV1" and "statsV2" nodes to body.tail,
// each preceded by ",\n", and after "capture" the node "retention":
// {"met": 0} while the capture files' retention policy is not met (the
// last pass could not meet it); nothing is written before the outcome is
// known. Reads only: the ledger's claims are settled by the commands that
// show them. Throws std::bad_alloc when memory runs out.
Status OutputStatus(const Request& request, ResponseBody& body);

#endif  // VELORANTIS_HELPER_STATUS_STATUS_COMMAND_H_
