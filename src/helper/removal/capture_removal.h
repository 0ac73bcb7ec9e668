// Removing a capture's file: recorded first, then unlinked, so that a process
// killed at any point leaves nothing that ReconcileRemovals cannot finish.
// A file is only ever removed when it is still the capture's (its recorded
// identity), and never through a symbolic link.
#ifndef VELORANTIS_HELPER_REMOVAL_CAPTURE_REMOVAL_H_
#define VELORANTIS_HELPER_REMOVAL_CAPTURE_REMOVAL_H_

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "helper/ledger/ledger_store.h"
#include "helper/removal/removal_counts.h"

// What a removal came to.
struct RemovalResult {
  bool missing = false;  // the file was no longer the capture's: nothing unlinked
  int64_t freed = 0;     // bytes freed: the file's, when its last link went
};

// Removes the file of `entry`, an ended capture that is not pinned, for
// `reason`, by `by` (REMOTE_USER, or "retention"). In one write transaction
// the entry becomes "deleted" (when, by whom, the bytes) and the reason's
// count grows; then the file is unlinked and its identity cleared. A file
// that is no longer the capture's (removed by hand, or another in its
// place) is left alone: the retention policy then records the entry
// "missing", a delete records it "deleted" with nothing freed. Fails with
// kLedgerUnavailable (kNotEnoughMemory) and SQLite's cause when the ledger
// refused the write, nothing changed; with kCannotRemoveFile and unlink's
// errno when the file could not be removed: the entry is then as it was
// (or, should the ledger refuse that, a removal still pending).
Status RemoveCaptureFile(sqlite3* ledger, const LedgerEntry& entry, RemovalReason reason,
                         const std::string& by, RemovalResult& result);

// Finishes the removals recorded whose files may still be there (a process
// killed between the record and the unlink), and records as "missing" the
// ended captures whose files are gone. Fails as the ledger does.
Status ReconcileRemovals(sqlite3* ledger);

#endif  // VELORANTIS_HELPER_REMOVAL_CAPTURE_REMOVAL_H_
