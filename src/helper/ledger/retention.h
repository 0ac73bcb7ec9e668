// Keeping the ledger's captures within the retention policy: the oldest
// ended captures that are not pinned are removed, by the ledger's order and
// never by file times (a clock change would reorder those), until the files
// hold no more than the quota and every capture folder's file system keeps
// its free-space floor. Running and pinned captures are never removed.
#ifndef VELORANTIS_HELPER_LEDGER_RETENTION_H_
#define VELORANTIS_HELPER_LEDGER_RETENTION_H_

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "helper/ledger/retention_policy.h"

// The free space of a capture folder's file system.
struct FolderSpace {
  std::string folder;
  int64_t device = 0;     // the file system's device number (st_dev)
  int64_t freeBytes = 0;  // what an unprivileged writer may still use
  int64_t totalBytes = 0;
  int64_t percentFree = 0;  // of the total, rounded down
};

// The space of `folder`'s file system; nullopt when it cannot be read.
std::optional<FolderSpace> SpaceOf(const std::string& folder);

// The folder part of a capture file's path, its last '/' included ("./"
// for a bare name).
std::string FolderOf(const std::string& file);

// The storage as the policy sees it.
struct StorageState {
  RetentionPolicy policy;
  int64_t usedBytes = 0;  // the ledger's files: ended captures' as recorded, running ones' now
  std::vector<FolderSpace> folders;  // every folder that holds a capture, and those asked for
  bool met = true;
};

// Reads the state without changing anything: `folders` are added to those
// of the ledger's captures. Nullopt when the ledger cannot be read.
std::optional<StorageState> ReadStorageState(sqlite3* ledger,
                                             const std::vector<std::string>& folders);

// What a pass removed, and whether the policy holds after it.
struct PruneReport {
  int64_t removed = 0;
  int64_t freed = 0;
  bool met = true;
};

// One pass, under the change lock on a writer connection. The floor is
// checked for `folders`, or when that is empty for every folder that holds
// a capture. With `reconcile`, first finishes removals a killed process
// left and records captures whose files are gone as "missing"
// (ReconcileRemovals). Records whether the policy is met (RetentionUnmet).
// Nullopt when the ledger cannot be read.
std::optional<PruneReport> KeepWithinPolicy(sqlite3* ledger,
                                            const std::vector<std::string>& folders,
                                            bool reconcile);

// Whether the last pass found the policy not met: a mark beside the records
// database, so that a status request pays one system call for it.
bool RetentionUnmet();

#endif  // VELORANTIS_HELPER_LEDGER_RETENTION_H_
