#include "helper/ledger/retention_policy.h"

#include "shared/sqlite_handles.h"

namespace {

// The sum and the files are read only when asked for (?1) or under a quota.
constexpr char kLoadState[] =
    "SELECT maxbytes, minfree, CASE WHEN ?1 OR maxbytes > 0 THEN (SELECT COALESCE(SUM(MAX("
    "filesize, 0)), 0) FROM captures WHERE state IN ('stopped', 'ended', 'gone')) ELSE 0 END, "
    "CASE WHEN ?1 OR maxbytes > 0 THEN (SELECT group_concat(file, char(10)) FROM captures "
    "WHERE state IN ('starting', 'running')) END FROM retention WHERE id = 1";
// A path's folder: what is left once its trailing run of bytes other than
// '/' is trimmed.
constexpr char kFolders[] =
    "SELECT DISTINCT rtrim(file, replace(file, '/', '')) FROM captures "
    "WHERE state IN ('starting', 'running', 'stopped', 'ended', 'gone')";

std::vector<std::string> Lines(const unsigned char* text) {
  std::vector<std::string> lines;
  if (text == nullptr) return lines;
  std::string all = reinterpret_cast<const char*>(text);
  size_t begin = 0;
  for (size_t end; (end = all.find('\n', begin)) != std::string::npos; begin = end + 1) {
    lines.push_back(all.substr(begin, end - begin));
  }
  lines.push_back(all.substr(begin));
  return lines;
}
constexpr char kStore[] =
    "INSERT INTO retention (id, maxbytes, minfree) VALUES (1, ?1, ?2) "
    "ON CONFLICT (id) DO UPDATE SET maxbytes = ?1, minfree = ?2";
constexpr char kCount[] =
    "INSERT INTO removals (reason, removals, bytes) VALUES (?1, 1, ?2) "
    "ON CONFLICT (reason) DO UPDATE SET removals = removals + 1, bytes = bytes + ?2";
constexpr char kCounts[] = "SELECT reason, removals, bytes FROM removals";

constexpr RemovalReason kReasons[] = {RemovalReason::kQuota, RemovalReason::kMinFree,
                                      RemovalReason::kDelete};

}  // namespace

std::optional<PolicyState> LoadPolicyState(sqlite3* db, bool always) {
  Statement select = Prepare(db, kLoadState);
  if (!select || sqlite3_bind_int(select.get(), 1, always ? 1 : 0) != SQLITE_OK) {
    return std::nullopt;
  }
  const int rc = sqlite3_step(select.get());
  // A file whose policy row was lost reads as having no policy.
  if (rc == SQLITE_DONE) return PolicyState{};
  if (rc != SQLITE_ROW) return std::nullopt;
  return PolicyState{{sqlite3_column_int64(select.get(), 0), sqlite3_column_int64(select.get(), 1)},
                     sqlite3_column_int64(select.get(), 2),
                     Lines(sqlite3_column_text(select.get(), 3))};
}

std::optional<std::vector<std::string>> CaptureFolders(sqlite3* db) {
  Statement select = Prepare(db, kFolders);
  if (!select) return std::nullopt;
  std::vector<std::string> folders;
  int rc;
  while ((rc = sqlite3_step(select.get())) == SQLITE_ROW) {
    const unsigned char* folder = sqlite3_column_text(select.get(), 0);
    if (folder != nullptr) folders.emplace_back(reinterpret_cast<const char*>(folder));
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

bool CountRemoval(sqlite3* db, RemovalReason reason, int64_t bytes) {
  Statement count = Prepare(db, kCount);
  return count &&
         sqlite3_bind_text(count.get(), 1, ReasonName(reason), -1, SQLITE_STATIC) == SQLITE_OK &&
         sqlite3_bind_int64(count.get(), 2, bytes) == SQLITE_OK &&
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
