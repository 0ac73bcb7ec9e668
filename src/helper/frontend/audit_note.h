// What this request did, as the audit trail records it: the dispatcher notes
// the command, why it is recorded and its outcome; a download adds the bytes
// the program sent itself. Written to the records database after the answer
// has gone out, so that recording it never changes or delays the answer.
#ifndef VELORANTIS_HELPER_FRONTEND_AUDIT_NOTE_H_
#define VELORANTIS_HELPER_FRONTEND_AUDIT_NOTE_H_

#include <cstdint>

#include "helper/frontend/outcome.h"

struct AuditNote {
  const char* command = nullptr;  // null: nothing to record
  Message message = Message::kNone;
  int64_t bytes = -1;  // a download's bytes sent by the program; -1: none or not known
};

inline AuditNote audit_note;

#endif  // VELORANTIS_HELPER_FRONTEND_AUDIT_NOTE_H_
