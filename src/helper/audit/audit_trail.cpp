#include <ctime>
#include <new>

#include "helper/audit/audit_commands.h"
#include "helper/frontend/audit_note.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/request_identity.h"
#include "helper/frontend/request_keys.h"
#include "helper/ledger/audit_store.h"
#include "helper/ledger/records_db.h"

namespace {

// A request's text as the trail keeps it: at most this many bytes, so that
// no request can fill the database with one entry.
constexpr size_t kMostTextBytes = 256;

std::string Kept(std::string text) {
  if (text.size() > kMostTextBytes) text.resize(kMostTextBytes);
  return text;
}

std::string KeptKey(Key key) {
  const char* text = KeyText(key);
  return Kept(text != nullptr ? text : "");
}

AuditEntry EntryOfThisRequest() {
  AuditEntry entry;
  entry.time = time(nullptr);
  entry.user = Kept(RequestUser());
  entry.address = Kept(RequestAddress());
  entry.command = audit_note.command;
  entry.mac = KeptKey(Key::kMac);
  entry.capture = KeptKey(Key::kId);
  entry.from = KeptKey(Key::kFrom);
  entry.to = KeptKey(Key::kTo);
  entry.result = audit_note.message == Message::kNone ? 0 : ResultOf(audit_note.message);
  entry.message = MessageText(audit_note.message);
  entry.bytes = audit_note.bytes;
  return entry;
}

}  // namespace

void RecordAudit(FILE* failureLog) {
  if (audit_note.command == nullptr) return;
  std::string cause;
  try {
    OpenFailure failure;
    Connection ledger = OpenRecords(DatabaseUse::kWriter, failure);
    if (!ledger) {
      cause = SqliteOpenCause(RecordsDatabasePath().c_str(), failure.code, failure.systemErrno);
    } else if (!AppendAudit(ledger.get(), EntryOfThisRequest())) {
      cause = SqliteCause(ledger.get(), RecordsDatabasePath().c_str());
    }
  } catch (const std::bad_alloc&) {
    cause = kOutOfMemoryCause;
  }
  if (cause.empty()) return;
  try {
    NoteUnrecordedAudit(std::move(cause));
    WriteFailureLine(failureLog);
  } catch (const std::bad_alloc&) {
    // Not even the line fits: the answer has gone out all the same.
  }
}
