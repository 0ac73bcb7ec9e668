#include "helper/lock/change_lock.h"
#include "helper/records_db/records_db.h"
#include "helper/removal/capture_removal.h"
#include "helper/storage/storage_commands.h"
#include "shared/paths.h"

namespace {

constexpr Message kFailed = Message::kLedgerUnavailable;

// The ledger, opened to write, and the entry "id" names in it.
struct NamedCapture {
  Connection ledger;
  LedgerEntry entry;
};

Status FindNamedCapture(const Request& request, NamedCapture& named) {
  uint64_t id = 0;
  if (Status read = ReadNumber(request, Key::kId, id); !read.ok()) return read;
  std::optional<LedgerEntry> entry;
  Status found = OpenRecords(DatabaseUse::kWriter, named.ledger);
  if (found.ok()) found = CaptureById(named.ledger.get(), static_cast<int64_t>(id), entry);
  if (!found.ok()) return found.Or(kFailed);
  if (!entry) return Failed(Message::kNoSuchCapture);
  named.entry = std::move(*entry);
  return {};
}

// Why the entry's file may not be removed, if it may not.
Message DeleteRefusal(const LedgerEntry& entry) {
  if (IsActive(entry)) return Message::kCaptureStillRunning;
  if (entry.pinned) return Message::kCapturePinned;
  if (entry.state == "failed") return Message::kNoFile;
  if (entry.state == "deleted") return Message::kAlreadyDeleted;
  return Message::kNone;
}

}  // namespace

Status DeleteCapture(const Request& request, ResponseBody&) {
  ChangeLock lock;
  if (Status locked = LockChanges(lock, program_paths.lockFile); !locked.ok()) return locked;
  NamedCapture named;
  if (Status found = FindNamedCapture(request, named); !found.ok()) return found;
  if (const Message refusal = DeleteRefusal(named.entry); refusal != Message::kNone) {
    return Failed(refusal);
  }
  RemovalResult removal;
  return RemoveCaptureFile(named.ledger.get(), named.entry, RemovalReason::kDelete,
                           ShownUser(request.caller), removal);
}

Status PinCapture(const Request& request, ResponseBody&) {
  uint64_t pinned = 0;
  if (Status read = ReadNumber(request, Key::kPinned, pinned); !read.ok()) return read;
  ChangeLock lock;
  if (Status locked = LockChanges(lock, program_paths.lockFile); !locked.ok()) return locked;
  NamedCapture named;
  if (Status found = FindNamedCapture(request, named); !found.ok()) return found;
  const std::string& state = named.entry.state;
  if (state == "failed" || state == "deleted" || state == "missing")
    return Failed(Message::kNoFile);
  return RecordPin(named.ledger.get(), named.entry.id, pinned != 0).Or(kFailed);
}
