// The extraction: one device's packets of a time window that pass a capture
// filter, from whichever of its captures hold them, as one pcapng file.
#ifndef VELORANTIS_HELPER_DOWNLOAD_EXTRACT_COMMAND_H_
#define VELORANTIS_HELPER_DOWNLOAD_EXTRACT_COMMAND_H_

#include "helper/frontend/request.h"
#include "helper/frontend/response.h"
#include "shared/status.h"

// command=extract&mac=M[&from=T1][&to=T2][&filter=EXPR]: every packet of
// device M's captures (running or ended, with their files) in [T1, T2)
// that EXPR matches, merged by time (AnswerMerged). Captures whose packets
// the ledger places wholly outside the window are never opened. No capture
// meeting the window: kNoPacketsInWindow with the device's first and last
// packet times.
Status ExtractCaptures(const Request& request, ResponseBody& body);

#endif  // VELORANTIS_HELPER_DOWNLOAD_EXTRACT_COMMAND_H_
