// The retention policy and the removals' counts, as the records database
// keeps them (tables `retention` and `removals`).
#ifndef VELORANTIS_HELPER_LEDGER_RETENTION_POLICY_H_
#define VELORANTIS_HELPER_LEDGER_RETENTION_POLICY_H_

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// Reads the policy, and the bytes and files only under a policy (nothing
// else needs them) or `always`. Nullopt when the ledger cannot be read.
std::optional<PolicyState> LoadPolicyState(sqlite3* db, bool always = false);

// Every folder of the ledger's captures, whatever became of them, each once
// as its path has it (up to its last '/'). Nullopt when the ledger cannot
// be read.
std::optional<std::vector<std::string>> CaptureFolders(sqlite3* db);

// Stores `policy`. False on failure.
bool StorePolicy(sqlite3* db, const RetentionPolicy& policy);

// Why a file was removed, as the counts and metrics name it.
enum class RemovalReason { kQuota, kMinFree, kDelete };
const char* ReasonName(RemovalReason reason);

// Adds `removals` removals of `bytes` together to the count of `reason`
// (-1 and the bytes negated take back one that did not happen). False on
// failure.
bool CountRemoval(sqlite3* db, RemovalReason reason, int64_t bytes, int removals = 1);

// The counts of every reason, zero for those that never removed a file.
struct RemovalCount {
  RemovalReason reason;
  int64_t removals = 0;
  int64_t bytes = 0;
};
std::optional<std::vector<RemovalCount>> RemovalCounts(sqlite3* db);

#endif  // VELORANTIS_HELPER_LEDGER_RETENTION_POLICY_H_
