#include "helper/command_table.h"

#include <cstring>
#include <new>

#include "helper/capture/capture_commands.h"
#include "helper/config/config_commands.h"
#include "helper/download/download_command.h"
#include "helper/frontend/failure_log.h"
#include "helper/frontend/memory_budget.h"
#include "helper/frontend/origin_check.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/server_settings.h"
#include "helper/metrics/metrics_command.h"
#include "helper/status/status_command.h"
#include "shared/available_memory.h"

namespace {

// Tried in this order; the first entry equal to "command" as a whole, byte
// for byte, wins.
constexpr Command kCommands[] = {
    {"list", OutputList},         {"start", StartCapture, true}, {"stop", StopCapture, true},
    {"status", OutputStatus},     {"getconfig", OutputConfig},   {"setconfig", SetConfig, true},
    {"captures", OutputCaptures}, {"metrics", OutputMetrics},    {"download", DownloadCapture},
};

// The handler's locals are gone by now; dropping what it wrote frees the
// rest, so the answer itself has room.
void AnswerOutOfMemory(ResponseBody& body) {
  ReleaseMemoryReserve();
  body = ResponseBody{};
  RecordFailureCause(kOutOfMemoryCause);
  WriteOutcome(body.text, "Not enough memory");
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
    AnswerOutOfMemory(body);
    LogFailure();
    return true;
  }
  DispatchCommand(body);
  LogFailure();
  return true;
}

void DispatchCommand(ResponseBody& body) {
  const char* command = getvar("command");
  if (command == nullptr) {
    WriteOutcome(body.text, "No command specified");
    return;
  }
  for (const Command& entry : kCommands) {
    if (strcmp(command, entry.name) == 0) {
      try {
        // The browser sends another site's requests with the user's
        // credentials, so only where they come from tells them apart.
        const char* refusal = entry.changesDevice ? RequestOriginFailure() : nullptr;
        if (refusal != nullptr) {
          WriteOutcome(body.text, refusal);
        } else {
          entry.handler(body);
        }
      } catch (const std::bad_alloc&) {
        AnswerOutOfMemory(body);
      }
      return;
    }
  }
  WriteOutcome(body.text, "Unknown command");
}
