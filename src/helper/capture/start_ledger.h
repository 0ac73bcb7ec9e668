// The start command's steps with the capture ledger, under the change lock:
// the claim on the capture file that must be recorded before the device is
// told anything, what becomes of the data already in the file, and the
// device's answer completing the claim.
#ifndef VELORANTIS_HELPER_CAPTURE_START_LEDGER_H_
#define VELORANTIS_HELPER_CAPTURE_START_LEDGER_H_

#include <cstdint>
#include <string>

#include "helper/frontend/request.h"
#include "helper/ledger/ledger_store.h"
#include "helper/records/capture_records.h"
#include "shared/sqlite_handles.h"
#include "shared/status.h"

// Opens the records database for a claim into `ledger`, or fails with
// kLedgerUnavailable and SQLite's cause.
Status OpenClaimLedger(Connection& ledger);

// Claims settings.destination for device `mac`'s new capture in one write
// transaction: settles this device's earlier claims (the device is idle)
// and every other device's claim on the same file, fits settings.size to the
// room the retention policy leaves (RoomFor: a size of 0, no limit, or one
// larger than the room becomes the room), renames data already in the file
// aside and points its entry at the new name, and records the claim
// ("starting", with who and from where, and whether the policy set its
// size). Succeeds with the claim, its id included, in `claim`, or fails with
// kFileInUse when another device still writes the file, kNoRoom when the
// policy leaves less than kLeastRoom, kCannotKeepEarlierFile when the data
// cannot be renamed aside, kLedgerUnavailable when the ledger cannot be
// read or written. On any refusal the disk and the ledger are as they were.
Status ClaimCaptureFile(sqlite3* ledger, const std::string& mac, const Caller& caller,
                        CaptureSettings& settings, LedgerEntry& claim);

// Completes `claim` with the device's answer: "running" with the file's
// inode when `started`, else "failed" (no file). A claim left as it was
// because this write failed is settled by the next request that asks its
// device.
void CompleteClaim(sqlite3* ledger, const LedgerEntry& claim, bool started);

#endif  // VELORANTIS_HELPER_CAPTURE_START_LEDGER_H_
