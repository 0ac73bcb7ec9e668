// The audit trail: recording what a request did, and the "audit" command
// that shows it.
#ifndef VELORANTIS_HELPER_AUDIT_AUDIT_COMMANDS_H_
#define VELORANTIS_HELPER_AUDIT_AUDIT_COMMANDS_H_

#include <cstdint>
#include <cstdio>

#include "helper/frontend/request.h"
#include "helper/frontend/response.h"
#include "shared/sqlite_handles.h"

// "audit": the "audit" node, newest first: at most "limit" entries (default
// 20, at most the 10,000 kept), older than entry "before", of user "user"
// only when given. Each: "id", "time", "user", "address", "command",
// "request" ("mac", "id", "from", "to" as the request gave them, and the
// "range" of bytes a download asked for), "result",
// "message", "bytes". Fails with kInvalidLimit, kInvalidBefore or
// kCannotLoadAudit.
Status OutputAudit(const Request& request, ResponseBody& body);

// This request's entry in the audit trail, once appended.
struct AuditRecord {
  Connection ledger;
  int64_t id = -1;
};

// Appends `request` to the audit trail as `note` says (nothing when it
// names no command), with its user, address and request texts. Called
// before the answer goes out, so that no download leaves unrecorded: a
// failure changes nothing of the answer, and leaves its line on
// `failureLog` instead.
AuditRecord RecordAudit(const Request& request, const AuditNote& note, FILE* failureLog);

// Once the answer is out: the bytes a download's program sent
// (`note.bytes`), on the entry `record` appended.
void FinishAudit(AuditRecord& record, const Request& request, const AuditNote& note,
                 FILE* failureLog);

#endif  // VELORANTIS_HELPER_AUDIT_AUDIT_COMMANDS_H_
