// A start's claim on its capture file, under the change lock: recorded
// before the device is told anything, with what becomes of the data already
// in the file, and completed with the device's answer. The ledger alone
// keeps two devices out of one file.
#ifndef VELORANTIS_HELPER_CLAIMS_CAPTURE_CLAIM_H_
#define VELORANTIS_HELPER_CLAIMS_CAPTURE_CLAIM_H_

#include <sqlite3.h>

#include <string>

#include "helper/capture_settings/capture_settings.h"
#include "helper/frontend/request.h"
#include "helper/ledger/ledger_store.h"
#include "shared/status.h"

// Claims settings.destination for device `mac`'s new capture in one write
// transaction of `ledger` (a writer connection of the records database):
// settles this device's earlier claims (the device is idle) and every other
// device's claim on the same file, fits settings.size to the room the
// retention policy leaves (RoomFor: a size of 0, no limit, or one larger
// than the room becomes the room), renames data already in the file aside
// and points its entry at the new name, and records the claim ("starting",
// with who and from where, and whether the policy set its size). Succeeds
// with the claim, its id included, in `claim`, or fails with kFileInUse when
// another device still writes the file, kNoRoom when the policy leaves less
// than kLeastRoom, kCannotKeepEarlierFile when the data cannot be renamed
// aside, kLedgerUnavailable (kNotEnoughMemory) when the ledger cannot be
// read or written. On any refusal the disk and the ledger are as they were.
Status ClaimCaptureFile(sqlite3* ledger, const std::string& mac, const Caller& caller,
                        CaptureSettings& settings, LedgerEntry& claim);

// Completes `claim` with the device's answer: "running" with the file's
// inode when `started`, else "failed" (no file). Fails as the ledger does;
// a claim left as it was is settled by the next request that asks its
// device.
Status CompleteClaim(sqlite3* ledger, const LedgerEntry& claim, bool started);

#endif  // VELORANTIS_HELPER_CLAIMS_CAPTURE_CLAIM_H_
