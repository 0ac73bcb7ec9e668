// The removals' counts, as the records database keeps them (table
// `removals`): how many files each reason removed, and their bytes.
#ifndef VELORANTIS_HELPER_REMOVAL_REMOVAL_COUNTS_H_
#define VELORANTIS_HELPER_REMOVAL_REMOVAL_COUNTS_H_

#include <sqlite3.h>

#include <cstdint>
#include <vector>

#include "shared/status.h"

// Why a file was removed, as the counts and metrics name it.
enum class RemovalReason { kQuota, kMinFree, kDelete };
const char* ReasonName(RemovalReason reason);

// Adds `removals` removals of `bytes` together to the count of `reason`
// (-1 and the bytes negated take back one that did not happen). Fails with
// kLedgerUnavailable (kNotEnoughMemory) and SQLite's cause.
Status CountRemoval(sqlite3* db, RemovalReason reason, int64_t bytes, int removals = 1);

// The counts of every reason, zero for those that never removed a file.
// Fails as CountRemoval does.
struct RemovalCount {
  RemovalReason reason;
  int64_t removals = 0;
  int64_t bytes = 0;
};
Status RemovalCounts(sqlite3* db, std::vector<RemovalCount>& counts);

#endif  // VELORANTIS_HELPER_REMOVAL_REMOVAL_COUNTS_H_
