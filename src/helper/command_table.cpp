#include "helper/command_table.h"

#include <cstring>
#include <new>

#include "helper/audit/audit_commands.h"
#include "helper/capture/capture_commands.h"
#include "helper/config/config_commands.h"
#include "helper/download/download_command.h"
#include "helper/frontend/audit_note.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/memory_budget.h"
#include "helper/frontend/origin_check.h"
#include "helper/frontend/request_keys.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/server_settings.h"
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
    {.name = "captures", .handler = OutputCaptures},
    {.name = "metrics", .handler = OutputMetrics, .form = AnswerForm::kPlainText},
    {.name = "download",
     .handler = DownloadCapture,
     .form = AnswerForm::kHttpStatus,
     .audited = true},
    {.name = "getretention", .handler = OutputRetention},
    {.name = "setretention", .handler = SetRetention, .changesState = true},
    {.name = "prune", .handler = PruneCaptures, .changesState = true},
    {.name = "delete", .handler = DeleteCapture, .changesState = true},
    {.name = "pin", .handler = PinCapture, .changesState = true},
    {.name = "audit", .handler = OutputAudit},
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
void LogFailure() {
  try {
    WriteFailureLine(stderr);
  } catch (const std::bad_alloc&) {
    // The answer is ready; only its log line is lost.
  }
}

}  // namespace

bool ServeRequest(ResponseBody& body) {
  if (!HoldMemoryReserve()) return false;
  try {
    InitGetVar();
    ReadServerSettings();
    SetAnswerBudget(AnswerBudgetFor(GetAvailableRAMSize()));
  } catch (const std::bad_alloc&) {
    static_cast<void>(AnswerOutOfMemory(body, AnswerForm::kResultFirst));  // in the body
    LogFailure();
    return true;
  }
  DispatchCommand(body);
  LogFailure();
  return true;
}

const Command* FindCommand(const char* name) {
  for (const Command& entry : kCommands) {
    if (strcmp(name, entry.name) == 0) return &entry;
  }
  return nullptr;
}

void DispatchCommand(ResponseBody& body) {
  const char* name = KeyText(Key::kCommand);
  const Command* command = name != nullptr ? FindCommand(name) : nullptr;
  if (command == nullptr) {
    const Message failure = name == nullptr ? Message::kNoCommand : Message::kUnknownCommand;
    FinishAnswer(body, AnswerForm::kResultFirst, Failed(failure));
    return;
  }
  static_cast<void>(RunCommand(*command, body));  // its answer is in the body
}

std::span<const Command> AllCommands() { return kCommands; }

Status RunCommand(const Command& command, ResponseBody& body) {
  Status outcome;
  try {
    std::string refusal;
    if (!Permits(RequestAccess(), LeastRole(command.name), refusal)) {
      // Refused whatever the command's own form: the usual envelope under
      // the HTTP status, so that a browser shows it rather than saving it.
      outcome = Failed(Message::kPermissionDenied, std::move(refusal));
      FinishAnswer(body, AnswerForm::kHttpStatus, outcome);
    } else {
      // The browser sends another site's requests with the user's
      // credentials, so only where they come from tells them apart.
      outcome = command.changesState ? RequestOriginCheck() : Status{};
      if (outcome.ok()) outcome = command.handler(body);
      FinishAnswer(body, command.form, outcome);
    }
  } catch (const std::bad_alloc&) {
    outcome = AnswerOutOfMemory(body, command.form);
  }
  const bool refused = outcome.message == Message::kPermissionDenied ||
                       outcome.message == Message::kCrossOriginRefused ||
                       outcome.message == Message::kNoRequestedWith;
  if (command.changesState || command.audited || refused) {
    audit_note.command = command.name;
    audit_note.message = outcome.message;
  }
  return outcome;
}
