#include "helper/retention/retention_policy.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "shared/statement.h"

namespace {

constexpr Message kFailed = Message::kLedgerUnavailable;

constexpr char kLoadPolicy[] = "SELECT maxbytes, minfree FROM retention WHERE id = 1";
// Beyond the policy itself, only what a quota needs: the claims' files and
// the ended captures' recorded sizes.
constexpr char kLoadUse[] = "SELECT state, file, filesize, size FROM captures";

bool Named(const unsigned char* text, std::initializer_list<std::string_view> names) {
  const std::string_view value = text != nullptr ? reinterpret_cast<const char*>(text) : "";
  return std::find(names.begin(), names.end(), value) != names.end();
}

// Every folder the ledger names, up to its last '/'.
constexpr char kFolders[] = "SELECT DISTINCT rtrim(file, replace(file, '/', '')) FROM captures";

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
  Statement use;
  if (Status prepared = Prepare(db, kLoadUse, kFailed, use); !prepared.ok()) return prepared;
  return ForEachRow(use.get(), kFailed, [&state](sqlite3_stmt* row) {
    const unsigned char* captureState = sqlite3_column_text(row, 0);
    const unsigned char* file = sqlite3_column_text(row, 1);
    if (Named(captureState, {"stopped", "ended", "gone"})) {
      state.keptBytes += std::max<int64_t>(sqlite3_column_int64(row, 2), 0);
    } else if (Named(captureState, {"starting", "running"}) && file != nullptr) {
      state.active.push_back({reinterpret_cast<const char*>(file), sqlite3_column_int64(row, 3)});
    }
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
