// The audit trail: recording what a request did, and the "audit" command
// that shows it.
#ifndef VELORANTIS_HELPER_AUDIT_AUDIT_COMMANDS_H_
#define VELORANTIS_HELPER_AUDIT_AUDIT_COMMANDS_H_

#include <cstdio>

#include "helper/frontend/response.h"

// "audit": the "audit" node, newest first: at most "limit" entries (default
// 20, at most the 10,000 kept), older than entry "before", of user "user"
// only when given. Each: "id", "time", "user", "address", "command",
// "request" ("mac", "id", "from", "to" as the request gave them), "result",
// "message", "bytes". Fails with kInvalidLimit, kInvalidBefore or
// kCannotLoadAudit.
Outcome OutputAudit(ResponseBody& body);

// Appends this request to the audit trail as audit_note says (nothing when
// it names no command), with its user, address and request texts. Called
// once the answer has gone out: a failure changes nothing of it, and leaves
// its line on `failureLog` instead.
void RecordAudit(FILE* failureLog);

#endif  // VELORANTIS_HELPER_AUDIT_AUDIT_COMMANDS_H_
