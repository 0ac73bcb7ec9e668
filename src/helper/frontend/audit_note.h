// What this request did, as the audit trail records it (ResponseBody's
// `audit`): the dispatcher notes the command, why it is recorded and its
// outcome; a download adds the byte
// range it asked for, and the bytes the program sent itself. Written to the
// records database before the first byte of the answer leaves (a web server
// that sends a download's file itself, or a client that goes away, may end
// the program once the header is out), and a download's bytes after it.
#ifndef VELORANTIS_HELPER_FRONTEND_AUDIT_NOTE_H_
#define VELORANTIS_HELPER_FRONTEND_AUDIT_NOTE_H_

#include <cstdint>
#include <string>

#include "shared/status.h"

struct AuditNote {
  const char* command = nullptr;  // null: nothing to record
  Message message = Message::kNone;
  int64_t bytes = -1;  // a download's bytes sent by the program; -1: none or not known
  std::string range;   // a download's Range as asked for; empty: the whole file
};

#endif  // VELORANTIS_HELPER_FRONTEND_AUDIT_NOTE_H_
