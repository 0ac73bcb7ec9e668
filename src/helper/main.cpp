// velorantis-helper: the CGI program. The web server runs it once per request;
// it answers with one JSON document on standard output and always exits 0.
#include <cstdio>

#include "helper/audit/audit_commands.h"
#include "helper/command_table.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/response.h"
#include "shared/paths.h"

int main() {
#ifdef VELORANTIS_OTHER_STATUS_DB
  // A second appliance on the same host (cmake/HelperWithPaths.cmake): the
  // same program, with files of its own.
  program_paths = {VELORANTIS_OTHER_CONFIG_DB, VELORANTIS_OTHER_STATUS_DB,
                   VELORANTIS_OTHER_LOCK_FILE, VELORANTIS_OTHER_RECORDS_DB,
                   VELORANTIS_OTHER_ROLES_FILE};
#endif
  Request request;
  ResponseBody body;
  const bool served = ServeRequest(request, body);
  DiscardRequestBody();
  // Recorded before the answer's first byte: a web server that sends a
  // download's file itself ends the program once it has the header, and one
  // whose client has gone away ends it mid-copy.
  AuditRecord audit = RecordAudit(request, body.audit, stderr);
  if (served) {
    WriteResponse(stdout, body);
  } else {
    WriteOutOfMemoryResponse(stdout);
  }
  // Standard output stays open until the bytes sent are written, as a web
  // server may end a program whose output has ended (lighttpd does).
  fflush(stdout);
  FinishAudit(audit, request, body.audit, stderr);
  return 0;
}
