#include "helper/command_table.h"

#include <cstring>
#include <new>

#include "helper/audit/audit_commands.h"
#include "helper/capture/capture_commands.h"
#include "helper/capture_ends/capture_ends.h"
#include "helper/config/config_commands.h"
#include "helper/download/download_command.h"
#include "helper/download/extract_command.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/memory_budget.h"
#include "helper/frontend/origin_check.h"
#include "helper/frontend/request_vars.h"
#include "helper/metrics/metrics_command.h"
#include "helper/status/status_command.h"
#include "helper/storage/storage_commands.h"
#include "shared/available_memory.h"

namespace {

constexpr Command kCommands[] = {
    {.name = "list", .handler = OutputList},
    {.name = "start", .handler = StartCapture, .changesState = true},
    {.name = "stop", .handler = StopCapture, .changesState = true},
    {.name = "status", .handler = OutputStatus},
    {.name = "getconfig", .handler = OutputConfig, .form = AnswerForm::kResultLast},
    {.name = "setconfig", .handler = SetConfig, .changesState = true},
    {.name = "captures", .handler = OutputCaptures, .housekeeping = true},
    {.name = "metrics",
     .handler = OutputMetrics,
     .form = AnswerForm::kPlainText,
     .housekeeping = true},
    {.name = "download",
     .handler = DownloadCapture,
     .form = AnswerForm::kHttpStatus,
     .audited = true,
     .housekeeping = true},
    {.name = "getretention", .handler = OutputRetention, .housekeeping = true},
    {.name = "setretention", .handler = SetRetention, .changesState = true},
    {.name = "prune", .handler = PruneCaptures, .changesState = true},
    {.name = "delete", .handler = DeleteCapture, .changesState = true},
    {.name = "pin", .handler = PinCapture, .changesState = true},
    {.name = "audit", .handler = OutputAudit, .housekeeping = true},
    {.name = "extract",
     .handler = ExtractCaptures,
     .form = AnswerForm::kHttpStatus,
     .audited = true,
     .housekeeping = true},
};

// Each command's least role is in frontend/command_roles, row for row.
constexpr bool EveryCommandHasARole() {
  if (std::size(kCommands) != std::size(kCommandRoles)) return false;
  for (size_t i = 0; i < std::size(kCommands); ++i) {
    if (std::string_view(kCommands[i].name) != kCommandRoles[i].command) return false;
  }
  return true;
}
static_assert(EveryCommandHasARole(), "kCommandRoles names the commands of kCommands, in order");

// The handler's locals are gone by now; dropping what it wrote frees the
// rest, so the answer itself has room.
Status AnswerOutOfMemory(ResponseBody& body, AnswerForm form) {
  ReleaseMemoryReserve();
  body = ResponseBody{};
  Status outcome = Failed(Message::kNotEnoughMemory, kOutOfMemoryCause);
  FinishAnswer(body, form, outcome);
  return outcome;
}

// Every failed answer leaves its line on standard error, the web server's
// error log.
void LogFailure(const Request& request) {
  try {
    WriteFailureLine(stderr, request);
  } catch (const std::bad_alloc&) {
    // The answer is ready; only its log line is lost.
  }
}

}  // namespace

bool ServeRequest(Request& request, ResponseBody& body) {
  if (!HoldMemoryReserve()) return false;
  try {
    InitGetVar();
    request = ReadRequest();
    SetAnswerBudget(AnswerBudgetFor(GetAvailableRAMSize()));
  } catch (const std::bad_alloc&) {
    static_cast<void>(AnswerOutOfMemory(body, AnswerForm::kResultFirst));  // in the body
    LogFailure(request);
    return true;
  }
  DispatchCommand(request, body);
  LogFailure(request);
  return true;
}

const Command* FindCommand(const char* name) {
  for (const Command& entry : kCommands) {
    if (strcmp(name, entry.name) == 0) return &entry;
  }
  return nullptr;
}

void DispatchCommand(const Request& request, ResponseBody& body) {
  const char* name = KeyText(request, Key::kCommand);
  const Command* command = name != nullptr ? FindCommand(name) : nullptr;
  if (command == nullptr) {
    const Message failure = name == nullptr ? Message::kNoCommand : Message::kUnknownCommand;
    FinishAnswer(body, AnswerForm::kResultFirst, Failed(failure));
    return;
  }
  static_cast<void>(RunCommand(*command, request, body));  // its answer is in the body
}

std::span<const Command> AllCommands() { return kCommands; }

Status RunCommand(const Command& command, const Request& request, ResponseBody& body) {
  Status outcome;
  try {
    std::string refusal;
    if (!Permits(request.caller.access, LeastRole(command.name), refusal)) {
      // Refused whatever the command's own form: the usual envelope under
      // the HTTP status, so that a browser shows it rather than saving it.
      outcome = Failed(Message::kPermissionDenied, std::move(refusal));
      FinishAnswer(body, AnswerForm::kHttpStatus, outcome);
    } else {
      // The browser sends another site's requests with the user's
      // credentials, so only where they come from tells them apart.
      if (command.changesState) {
        outcome = OriginCheck(request.headers, request.server.strictOrigin);
      }
      // The ledger is shown as it stands when its claims cannot be settled.
      if (outcome.ok() && command.housekeeping) static_cast<void>(NoteEndedCaptures());
      if (outcome.ok()) outcome = command.handler(request, body);
      FinishAnswer(body, command.form, outcome);
    }
  } catch (const std::bad_alloc&) {
    outcome = AnswerOutOfMemory(body, command.form);
  }
  const bool refused = outcome.message == Message::kPermissionDenied ||
                       outcome.message == Message::kCrossOriginRefused ||
                       outcome.message == Message::kNoRequestedWith;
  if (command.changesState || command.audited || refused) {
    body.audit.command = command.name;
    body.audit.message = outcome.message;
  }
  return outcome;
}
