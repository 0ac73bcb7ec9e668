// The commands of the capture files' storage: the retention policy shown and
// set, a prune pass, and a capture's file deleted or pinned.
#ifndef VELORANTIS_HELPER_STORAGE_STORAGE_COMMANDS_H_
#define VELORANTIS_HELPER_STORAGE_STORAGE_COMMANDS_H_

#include "helper/frontend/request.h"
#include "helper/frontend/response.h"

// "getretention": the "retention" node (StorageNode) for the folders of the
// ledger's captures and the stored destination. Fails with
// kLedgerUnavailable when the records database cannot be read.
Status OutputRetention(const Request& request, ResponseBody& body);

// "setretention": stores "maxbytes" and "minfree" (strict numbers; minfree
// 0 to 99). Removes nothing itself: the next start, end or prune applies
// it. Fails with kInvalidMaxBytes, kInvalidMinFree or kLedgerUnavailable.
Status SetRetention(const Request& request, ResponseBody& body);

// "prune": under the change lock, finishes what a killed removal left,
// records the captures whose files are gone as "missing", and removes the
// oldest ended captures that are not pinned until the policy holds: the
// "prune" node ("removed", "freed"), then the "retention" node.
Status PruneCaptures(const Request& request, ResponseBody& body);

// "delete": under the change lock, removes the file of the ended capture
// "id" names and keeps its entry as "deleted", when and by whom. Fails with
// kInvalidCaptureId, kNoSuchCapture, kCaptureStillRunning, kCapturePinned,
// kNoFile (a failed start), kAlreadyDeleted or kLedgerUnavailable.
Status DeleteCapture(const Request& request, ResponseBody& body);

// "pin": "pinned" 1 keeps capture "id" from every removal, 0 lets it go
// again. Fails with kInvalidCaptureId, kInvalidPinned, kNoSuchCapture,
// kNoFile (no file to keep: failed, deleted or missing) or
// kLedgerUnavailable.
Status PinCapture(const Request& request, ResponseBody& body);

#endif  // VELORANTIS_HELPER_STORAGE_STORAGE_COMMANDS_H_
