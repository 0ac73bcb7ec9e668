#include "helper/frontend/json_text.h"
#include "helper/frontend/request_keys.h"
#include "helper/ledger/records_db.h"
#include "helper/ledger/retention.h"
#include "helper/lock/change_lock.h"
#include "helper/storage/storage_commands.h"
#include "helper/storage/storage_node.h"
#include "shared/paths.h"

namespace {

constexpr Message kFailed = Message::kLedgerUnavailable;

}  // namespace

Status OutputRetention(const Request&, ResponseBody& body) {
  Connection ledger;
  if (Status opened = OpenRecordsStep(DatabaseUse::kReader, kFailed, ledger); !opened.ok())
    return opened;
  if (Status node = AppendStorageNode(body.text, ledger.get()); !node.ok()) {
    return RecordsFailed(kFailed, ledger.get());
  }
  return {};
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
  if (Status opened = OpenRecordsStep(DatabaseUse::kWriter, kFailed, ledger); !opened.ok())
    return opened;
  if (!StorePolicy(ledger.get(), policy)) return RecordsFailed(kFailed, ledger.get());
  return {};
}

Status PruneCaptures(const Request&, ResponseBody& body) {
  ChangeLock lock;
  if (Status locked = LockChanges(lock, program_paths.lockFile); !locked.ok()) return locked;
  Connection ledger;
  if (Status opened = OpenRecordsStep(DatabaseUse::kWriter, kFailed, ledger); !opened.ok())
    return opened;
  const std::optional<PruneReport> report = KeepWithinPolicy(ledger.get(), {}, true);
  if (!report) return RecordsFailed(kFailed, ledger.get());
  std::string& out = body.text;
  out += "\"prune\": {";
  AppendNumberMember(out, "removed", report->removed);
  out += ", ";
  AppendNumberMember(out, "freed", report->freed);
  out += "},\n";
  return AppendStorageNode(out, ledger.get());
}
