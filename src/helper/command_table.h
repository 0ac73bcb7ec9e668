// The command table and the dispatch of one request: the program's top, above
// the commands and the front end they use.
#ifndef VELORANTIS_HELPER_COMMAND_TABLE_H_
#define VELORANTIS_HELPER_COMMAND_TABLE_H_

#include <span>

#include "helper/frontend/command_roles.h"
#include "helper/frontend/request.h"
#include "helper/frontend/response.h"

// A command handler writes its nodes into `body` (or sets `body.writer` to
// answer with a header and body of its own) and returns its outcome; the
// dispatcher completes the answer with it (FinishAnswer).
using CommandHandler = Status (*)(const Request& request, ResponseBody& body);

// The least role that may run a command, where a roles file is configured,
// is its row in frontend/command_roles (LeastRole).
struct Command {
  const char* name;
  CommandHandler handler;
  AnswerForm form = AnswerForm::kResultFirst;
  // Starts, stops or reconfigures a capture, or changes the ledger: run
  // only for requests from the page's own origin (OriginCheck), and
  // recorded in the audit trail, as every refusal is.
  bool changesState = false;
  // Recorded in the audit trail although it changes nothing (a download).
  bool audited = false;
  // Shows what the ledger holds of captures, so the housekeeping step runs
  // first, once the request may run the command: where the ledger holds
  // captures as running and no other request holds the change lock, each is
  // settled with its device, and when one has ended the retention policy is
  // applied (NoteEndedCaptures). A failure there leaves the ledger for the
  // next request and changes nothing of the answer. The commands' own code
  // only reads.
  bool housekeeping = false;
};

// The entry of command `name`, compared as a whole, byte for byte; null when
// there is none.
const Command* FindCommand(const char* name);

// Every command, in the table's order.
std::span<const Command> AllCommands();

// The whole request into `body`: decodes QUERY_STRING and reads the request
// (`request`, for what comes after the answer), sets the memory budget from
// the memory available now, and dispatches. When memory runs out,
// decoding included, `body` holds only the result node -1 "Not enough
// memory". A failed answer also leaves one line with its cause on standard
// error (WriteFailureLine). Returns false, with `body` untouched, when there
// was not even memory to start: then only WriteOutOfMemoryResponse can answer.
bool ServeRequest(Request& request, ResponseBody& body);

// Runs the handler that the request's "command" names, or writes the
// front end's own result node when there is none or it matches no command.
// Instead of running it, answers "Status: 403 Forbidden" with -1
// "Permission denied" when the caller's role is below the
// command's, and -1 with the origin check's message ("Cross-origin request
// refused", or in strict mode also "Request refused: X-Requested-With header
// missing") for a command that changes state when another web site made the
// request, or in strict mode may have made it. Notes in `body.audit` what the
// audit trail records of it (RecordAudit, after the answer).
// When memory runs out anywhere in the handler, `body` holds only the result
// node -1 "Not enough memory" instead of whatever the handler had written.
void DispatchCommand(const Request& request, ResponseBody& body);

// Runs `command` into `body` as DispatchCommand does once it has found it,
// and returns the outcome the answer carries.
Status RunCommand(const Command& command, const Request& request, ResponseBody& body);

#endif  // VELORANTIS_HELPER_COMMAND_TABLE_H_
