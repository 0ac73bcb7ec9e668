#include <ctime>
#include <new>

#include "helper/audit/audit_commands.h"
#include "helper/audit_store/audit_store.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/request.h"
#include "helper/records_db/records_db.h"

namespace {

// A request's text as the trail keeps it: at most this many bytes, so that
// no request can fill the database with one entry.
constexpr size_t kMostTextBytes = 256;

std::string Kept(std::string text) {
  if (text.size() > kMostTextBytes) text.resize(kMostTextBytes);
  return text;
}

std::string KeptKey(const Request& request, Key key) {
  const char* text = KeyText(request, key);
  return Kept(text != nullptr ? text : "");
}

AuditEntry EntryOf(const Request& request, const AuditNote& note) {
  AuditEntry entry;
  entry.time = time(nullptr);
  entry.user = Kept(ShownUser(request.caller));
  entry.address = Kept(ShownAddress(request.caller));
  entry.command = note.command;
  entry.mac = KeptKey(request, Key::kMac);
  entry.capture = KeptKey(request, Key::kId);
  entry.from = KeptKey(request, Key::kWindowFrom);
  entry.to = KeptKey(request, Key::kWindowTo);
  entry.result = note.message == Message::kNone ? 0 : ResultOf(note.message);
  entry.message = MessageText(note.message);
  entry.bytes = note.bytes;
  entry.range = Kept(note.range);
  // Whole: its rule keeps it within 1 KiB.
  const char* filter = KeyText(request, Key::kFilter);
  entry.filter = filter != nullptr ? filter : "";
  return entry;
}

void LogUnrecorded(std::string cause, const Request& request, FILE* failureLog) {
  try {
    NoteSideFailure("Audit entry not recorded", std::move(cause));
    WriteFailureLine(failureLog, request);
  } catch (const std::bad_alloc&) {
    // Not even the line fits: the answer goes out all the same.
  }
}

}  // namespace

AuditRecord RecordAudit(const Request& request, const AuditNote& note, FILE* failureLog) {
  AuditRecord record;
  if (note.command == nullptr) return record;
  std::string cause;
  try {
    Status recorded = OpenRecords(DatabaseUse::kWriter, record.ledger);
    if (recorded.ok()) {
      recorded = AppendAudit(record.ledger.get(), EntryOf(request, note), record.id);
    }
    if (!recorded.ok()) {
      record.id = -1;
      cause = std::move(recorded.cause);
    }
  } catch (const std::bad_alloc&) {
    record.id = -1;
    cause = kOutOfMemoryCause;
  }
  if (!cause.empty()) LogUnrecorded(std::move(cause), request, failureLog);
  return record;
}

void FinishAudit(AuditRecord& record, const Request& request, const AuditNote& note,
                 FILE* failureLog) {
  if (record.id < 0 || note.bytes < 0) return;
  if (Status recorded = RecordAuditBytes(record.ledger.get(), record.id, note.bytes);
      !recorded.ok()) {
    LogUnrecorded(std::move(recorded.cause), request, failureLog);
  }
}
