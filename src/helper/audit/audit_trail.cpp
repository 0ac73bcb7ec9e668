#include <ctime>
#include <new>

#include "helper/audit/audit_commands.h"
#include "helper/audit_store/audit_store.h"
#include "helper/frontend/audit_note.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/request_identity.h"
#include "helper/frontend/request_keys.h"
#include "helper/records_db/records_db.h"

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
  entry.range = Kept(audit_note.range);
  return entry;
}

void LogUnrecorded(std::string cause, FILE* failureLog) {
  try {
    NoteSideFailure("Audit entry not recorded", std::move(cause));
    WriteFailureLine(failureLog);
  } catch (const std::bad_alloc&) {
    // Not even the line fits: the answer goes out all the same.
  }
}

}  // namespace

AuditRecord RecordAudit(FILE* failureLog) {
  AuditRecord record;
  if (audit_note.command == nullptr) return record;
  std::string cause;
  try {
    Status recorded = OpenRecords(DatabaseUse::kWriter, record.ledger);
    if (recorded.ok()) recorded = AppendAudit(record.ledger.get(), EntryOfThisRequest(), record.id);
    if (!recorded.ok()) {
      record.id = -1;
      cause = std::move(recorded.cause);
    }
  } catch (const std::bad_alloc&) {
    record.id = -1;
    cause = kOutOfMemoryCause;
  }
  if (!cause.empty()) LogUnrecorded(std::move(cause), failureLog);
  return record;
}

void FinishAudit(AuditRecord& record, FILE* failureLog) {
  if (record.id < 0 || audit_note.bytes < 0) return;
  if (Status recorded = RecordAuditBytes(record.ledger.get(), record.id, audit_note.bytes);
      !recorded.ok()) {
    LogUnrecorded(std::move(recorded.cause), failureLog);
  }
}
