// Keeping the ledger's captures within the retention policy: the oldest
// ended captures that are not pinned are removed, by the ledger's order and
// never by file times (a clock change would reorder those), until the files
// hold no more than the quota and every capture folder's file system keeps
// its free-space floor. Running and pinned captures are never removed.
#ifndef VELORANTIS_HELPER_RETENTION_RETENTION_H_
#define VELORANTIS_HELPER_RETENTION_RETENTION_H_

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "helper/ledger/ledger_store.h"
#include "helper/retention/retention_policy.h"
#include "shared/status.h"

// The free space of a capture folder's file system.
struct FolderSpace {
  std::string folder;
  int64_t device = 0;     // the file system's device number (st_dev)
  int64_t freeBytes = 0;  // what an unprivileged writer may still use
  int64_t totalBytes = 0;
  int64_t percentFree = 0;  // of the total, rounded down
  int64_t block = 4096;     // the unit it allocates in
  int64_t reserved = 0;     // what running captures there may still take, to their limits
};

// The bytes the floor `minFree` (percent) keeps free of `space`'s total.
int64_t FloorBytes(const FolderSpace& space, int64_t minFree);

// The file system (st_dev) that holds `file`, or else its folder; 0 when
// neither can be read.
int64_t FileSystemOf(const std::string& file);

// The bytes an ended capture's file holds, as recorded at its end (0 when
// not known), and the file system it is on.
int64_t RecordedSize(const LedgerEntry& entry);
int64_t KeptFileSystem(const LedgerEntry& entry);

// A running capture's size now (0 before its file is there), the bytes it
// may still write up to its limit, and what they may still take of a file
// system that allocates in `block`s (0 without a limit).
int64_t ActiveSize(const ActiveFile& active);
int64_t StillToWrite(const ActiveFile& active);
int64_t StillToAllocate(const ActiveFile& active, int64_t block);

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

// Reads the state without changing anything into `state`: `folders` are
// added to those of the ledger's captures. Fails as the ledger does.
Status ReadStorageState(sqlite3* ledger, const std::vector<std::string>& folders,
                        StorageState& state);

// What a pass removed, and whether the policy holds after it.
struct PruneReport {
  int64_t removed = 0;
  int64_t freed = 0;
  bool met = true;
};

// One pass, under the change lock on a writer connection, into `report`.
// The floor is checked for `folders`, or when that is empty for every
// folder that holds a capture. With `reconcile`, first finishes removals a
// killed process left and records captures whose files are gone as
// "missing" (ReconcileRemovals). Records whether the policy is met
// (RetentionUnmet). A file that cannot be removed stays, its cause in the
// failure log. Fails as the ledger does.
Status KeepWithinPolicy(sqlite3* ledger, const std::vector<std::string>& folders, bool reconcile,
                        PruneReport& report);

// Whether the last pass found the policy not met: a mark beside the records
// database, so that a status request pays one system call for it.
bool RetentionUnmet();

#endif  // VELORANTIS_HELPER_RETENTION_RETENTION_H_
