// The retention policy, as the records database keeps it (table
// `retention`), and what the ledger holds under it.
#ifndef VELORANTIS_HELPER_RETENTION_RETENTION_POLICY_H_
#define VELORANTIS_HELPER_RETENTION_RETENTION_POLICY_H_

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "shared/status.h"

// The most bytes the ledger's capture files may hold together (0: no
// quota), and the least free space, in percent, on the file system of each
// capture folder (0: no floor).
struct RetentionPolicy {
  int64_t maxBytes = 0;
  int64_t minFree = 0;
};

// A running capture's file and the size it may reach (0: no limit).
struct ActiveFile {
  std::string file;
  int64_t limit = 0;
};

// The policy, the bytes the ended captures' files hold as the ledger
// recorded them at their ends, and the files of the running captures.
struct PolicyState {
  RetentionPolicy policy;
  int64_t keptBytes = 0;
  std::vector<ActiveFile> active;
};

// Each fails with kLedgerUnavailable (kNotEnoughMemory when memory ran
// out) and SQLite's cause.

// Reads the policy, and the bytes and files only under a policy (nothing
// else needs them) or `always`, into `state`.
Status LoadPolicyState(sqlite3* db, PolicyState& state, bool always = false);

// Every folder of the ledger's captures, whatever became of them, each once
// as its path has it (up to its last '/').
Status CaptureFolders(sqlite3* db, std::vector<std::string>& folders);

// Stores `policy`.
Status StorePolicy(sqlite3* db, const RetentionPolicy& policy);

#endif  // VELORANTIS_HELPER_RETENTION_RETENTION_POLICY_H_
