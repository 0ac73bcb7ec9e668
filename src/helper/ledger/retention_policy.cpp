#include "helper/ledger/retention_policy.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "shared/sqlite_handles.h"

namespace {

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
constexpr char kCount[] =
    "INSERT INTO removals (reason, removals, bytes) VALUES (?1, ?3, ?2) "
    "ON CONFLICT (reason) DO UPDATE SET removals = removals + ?3, bytes = bytes + ?2";
constexpr char kCounts[] = "SELECT reason, removals, bytes FROM removals";

constexpr RemovalReason kReasons[] = {RemovalReason::kQuota, RemovalReason::kMinFree,
                                      RemovalReason::kDelete};

}  // namespace

std::optional<PolicyState> LoadPolicyState(sqlite3* db, bool always) {
  PolicyState state;
  Statement policy = Prepare(db, kLoadPolicy);
  if (!policy) return std::nullopt;
  const int rc = sqlite3_step(policy.get());
  if (rc == SQLITE_ROW) {
    state.policy = {sqlite3_column_int64(policy.get(), 0), sqlite3_column_int64(policy.get(), 1)};
  } else if (rc != SQLITE_DONE) {  // a file whose policy row was lost has none
    return std::nullopt;
  }
  if (!always && state.policy.maxBytes <= 0 && state.policy.minFree <= 0) return state;
  Statement use = Prepare(db, kLoadUse);
  if (!use) return std::nullopt;
  int step;
  while ((step = sqlite3_step(use.get())) == SQLITE_ROW) {
    const unsigned char* captureState = sqlite3_column_text(use.get(), 0);
    const unsigned char* file = sqlite3_column_text(use.get(), 1);
    if (Named(captureState, {"stopped", "ended", "gone"})) {
      state.keptBytes += std::max<int64_t>(sqlite3_column_int64(use.get(), 2), 0);
    } else if (Named(captureState, {"starting", "running"}) && file != nullptr) {
      state.active.push_back(
          {reinterpret_cast<const char*>(file), sqlite3_column_int64(use.get(), 3)});
    }
  }
  if (step != SQLITE_DONE) return std::nullopt;
  return state;
}

std::optional<std::vector<std::string>> CaptureFolders(sqlite3* db) {
  Statement select = Prepare(db, kFolders);
  if (!select) return std::nullopt;
  std::vector<std::string> folders;
  int rc;
  while ((rc = sqlite3_step(select.get())) == SQLITE_ROW) {
    const auto* folder = reinterpret_cast<const char*>(sqlite3_column_text(select.get(), 0));
    if (folder != nullptr && *folder != '\0') folders.emplace_back(folder);
  }
  if (rc != SQLITE_DONE) return std::nullopt;
  return folders;
}

bool StorePolicy(sqlite3* db, const RetentionPolicy& policy) {
  Statement store = Prepare(db, kStore);
  return store && sqlite3_bind_int64(store.get(), 1, policy.maxBytes) == SQLITE_OK &&
         sqlite3_bind_int64(store.get(), 2, policy.minFree) == SQLITE_OK &&
         sqlite3_step(store.get()) == SQLITE_DONE;
}

const char* ReasonName(RemovalReason reason) {
  switch (reason) {
    case RemovalReason::kQuota:
      return "quota";
    case RemovalReason::kMinFree:
      return "minfree";
    case RemovalReason::kDelete:
      return "delete";
  }
  return "";
}

bool CountRemoval(sqlite3* db, RemovalReason reason, int64_t bytes, int removals) {
  Statement count = Prepare(db, kCount);
  return count &&
         sqlite3_bind_text(count.get(), 1, ReasonName(reason), -1, SQLITE_STATIC) == SQLITE_OK &&
         sqlite3_bind_int64(count.get(), 2, bytes) == SQLITE_OK &&
         sqlite3_bind_int(count.get(), 3, removals) == SQLITE_OK &&
         sqlite3_step(count.get()) == SQLITE_DONE;
}

std::optional<std::vector<RemovalCount>> RemovalCounts(sqlite3* db) {
  std::vector<RemovalCount> counts;
  for (RemovalReason reason : kReasons) counts.push_back({reason});
  Statement select = Prepare(db, kCounts);
  if (!select) return std::nullopt;
  int rc;
  while ((rc = sqlite3_step(select.get())) == SQLITE_ROW) {
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(select.get(), 0));
    for (RemovalCount& count : counts) {
      if (name == nullptr || std::string(name) != ReasonName(count.reason)) continue;
      count.removals = sqlite3_column_int64(select.get(), 1);
      count.bytes = sqlite3_column_int64(select.get(), 2);
    }
  }
  if (rc != SQLITE_DONE) return std::nullopt;
  return counts;
}
