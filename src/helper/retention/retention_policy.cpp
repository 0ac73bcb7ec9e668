#include "helper/retention/retention_policy.h"

#include "shared/statement.h"

namespace {

constexpr Message kFailed = Message::kLedgerUnavailable;

constexpr char kLoadPolicy[] = "SELECT maxbytes, minfree FROM retention WHERE id = 1";
// Beyond the policy itself, only what a quota needs: the ended captures'
// recorded bytes, as the ledger's triggers keep them, and the claims' files
// (by their index).
constexpr char kKeptBytes[] = "SELECT keptbytes FROM usage WHERE id = 1";
constexpr char kActive[] =
    "SELECT file, size FROM captures WHERE state IN ('starting', 'running') ORDER BY id";

// Every folder the ledger names, up to its last '/', as its triggers keep
// them.
constexpr char kFolders[] = "SELECT folder FROM folders";

constexpr char kStore[] =
    "INSERT INTO retention (id, maxbytes, minfree) VALUES (1, ?1, ?2) "
    "ON CONFLICT (id) DO UPDATE SET maxbytes = ?1, minfree = ?2";
}  // namespace

Status LoadPolicyState(sqlite3* db, PolicyState& state, bool always) {
  state = {};
  Statement policy;
  bool row = false;
  Status read = Prepare(db, kLoadPolicy, kFailed, policy);
  // A file whose policy row was lost has none.
  if (read.ok()) read = Step(policy.get(), kFailed, row);
  if (!read.ok()) return read;
  if (row) {
    state.policy = {sqlite3_column_int64(policy.get(), 0), sqlite3_column_int64(policy.get(), 1)};
  }
  if (!always && state.policy.maxBytes <= 0 && state.policy.minFree <= 0) return {};
  Statement kept;
  Statement active;
  read = Prepare(db, kKeptBytes, kFailed, kept);
  if (read.ok()) read = Step(kept.get(), kFailed, row);
  if (read.ok() && row) state.keptBytes = sqlite3_column_int64(kept.get(), 0);
  if (read.ok()) read = Prepare(db, kActive, kFailed, active);
  if (!read.ok()) return read;
  return ForEachRow(active.get(), kFailed, [&state](sqlite3_stmt* row) {
    state.active.push_back({TextColumn(row, 0), sqlite3_column_int64(row, 1)});
  });
}

Status CaptureFolders(sqlite3* db, std::vector<std::string>& folders) {
  folders.clear();
  Statement select;
  if (Status prepared = Prepare(db, kFolders, kFailed, select); !prepared.ok()) return prepared;
  return ForEachRow(select.get(), kFailed, [&folders](sqlite3_stmt* row) {
    std::string folder = TextColumn(row, 0);
    if (!folder.empty()) folders.push_back(std::move(folder));
  });
}

Status StorePolicy(sqlite3* db, const RetentionPolicy& policy) {
  return Execute(db, kFailed, kStore, policy.maxBytes, policy.minFree);
}
