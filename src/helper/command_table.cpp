#include "helper/command_table.h"

#include <cstring>
#include <new>

#include "helper/capture/capture_commands.h"
#include "helper/config/config_commands.h"
#include "helper/download/download_command.h"
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

constexpr AnswerForm kFirst = AnswerForm::kResultFirst;
constexpr Command kCommands[] = {
    {"list", OutputList},
    {"start", StartCapture, kFirst, true},
    {"stop", StopCapture, kFirst, true},
    {"status", OutputStatus},
    {"getconfig", OutputConfig, AnswerForm::kResultLast},
    {"setconfig", SetConfig, kFirst, true},
    {"captures", OutputCaptures},
    {"metrics", OutputMetrics, AnswerForm::kPlainText},
    {"download", DownloadCapture, AnswerForm::kHttpStatus},
    {"getretention", OutputRetention},
    {"setretention", SetRetention, kFirst, true},
    {"prune", PruneCaptures, kFirst, true},
    {"delete", DeleteCapture, kFirst, true},
    {"pin", PinCapture, kFirst, true},
};

// The handler's locals are gone by now; dropping what it wrote frees the
// rest, so the answer itself has room.
Outcome AnswerOutOfMemory(ResponseBody& body, AnswerForm form) {
  ReleaseMemoryReserve();
  body = ResponseBody{};
  Outcome outcome = Failed(Message::kNotEnoughMemory, kOutOfMemoryCause);
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
    AnswerOutOfMemory(body, AnswerForm::kResultFirst);
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
  RunCommand(*command, body);
}

Outcome RunCommand(const Command& command, ResponseBody& body) {
  try {
    // The browser sends another site's requests with the user's
    // credentials, so only where they come from tells them apart.
    Outcome outcome = command.changesDevice ? RequestOriginCheck() : Outcome{};
    if (outcome.ok()) outcome = command.handler(body);
    FinishAnswer(body, command.form, outcome);
    return outcome;
  } catch (const std::bad_alloc&) {
    return AnswerOutOfMemory(body, command.form);
  }
}
