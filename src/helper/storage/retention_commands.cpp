#include "helper/capture_ends/capture_ends.h"
#include "helper/frontend/json_text.h"
#include "helper/frontend/request_keys.h"
#include "helper/lock/change_lock.h"
#include "helper/records_db/records_db.h"
#include "helper/retention/retention.h"
#include "helper/storage/storage_commands.h"
#include "helper/storage/storage_node.h"
#include "shared/paths.h"

namespace {

constexpr Message kFailed = Message::kLedgerUnavailable;

}  // namespace

Status OutputRetention(const Request&, ResponseBody& body) {
  Connection ledger;
  Status shown = OpenRecords(DatabaseUse::kReader, ledger);
  if (shown.ok()) shown = AppendStorageNode(body.text, ledger.get());
  return shown.Or(kFailed);
}

Status SetRetention(const Request& request, ResponseBody&) {
  RetentionPolicy policy;
  uint64_t maxBytes = 0;
  uint64_t minFree = 0;
  if (Status read = ReadNumber(request, Key::kMaxBytes, maxBytes); !read.ok()) return read;
  if (Status read = ReadNumber(request, Key::kMinFree, minFree); !read.ok()) return read;
  policy.maxBytes = static_cast<int64_t>(maxBytes);
  policy.minFree = static_cast<int64_t>(minFree);
  Connection ledger;
  Status stored = OpenRecords(DatabaseUse::kWriter, ledger);
  if (stored.ok()) stored = StorePolicy(ledger.get(), policy);
  return stored.Or(kFailed);
}

Status PruneCaptures(const Request&, ResponseBody& body) {
  ChangeLock lock;
  if (Status locked = LockChanges(lock, program_paths.lockFile); !locked.ok()) return locked;
  Connection ledger;
  PruneReport report;
  Status pruned = OpenRecords(DatabaseUse::kWriter, ledger);
  if (pruned.ok()) pruned = KeepWithinPolicy(ledger.get(), {}, true, report);
  if (!pruned.ok()) return pruned.Or(kFailed);
  std::string& out = body.text;
  out += "\"prune\": {";
  AppendNumberMember(out, "removed", report.removed);
  out += ", ";
  AppendNumberMember(out, "freed", report.freed);
  out += "},\n";
  return AppendStorageNode(out, ledger.get());
}
