#include "helper/command_table.h"

#include <cstring>
#include <new>

#include "helper/capture/capture_commands.h"
#include "helper/config/config_commands.h"
#include "helper/frontend/origin_check.h"
#include "helper/frontend/request_vars.h"
#include "helper/status/status_command.h"

namespace {

// Tried in this order; the first entry equal to "command" as a whole, byte
// for byte, wins. Only the status command writes a tail.
constexpr Command kCommands[] = {
    {"list", [](ResponseBody& body) { return OutputList(body.text); }},
    {"start", [](ResponseBody& body) { return StartCapture(body.text); }, true},
    {"stop", [](ResponseBody& body) { return StopCapture(body.text); }, true},
    {"status", [](ResponseBody& body) { return OutputStatus(body.text, body.tail); }},
    {"getconfig", [](ResponseBody& body) { return OutputConfig(body.text); }},
    {"setconfig", [](ResponseBody& body) { return SetConfig(body.text); }, true},
};

// The handler's locals are gone by now; dropping what it wrote frees the
// rest, so the answer itself has room.
void AnswerOutOfMemory(ResponseBody& body) {
  body = ResponseBody{};
  WriteOutcome(body.text, "Not enough memory");
}

}  // namespace

void DispatchCommand(ResponseBody& body) {
  const char* command = getvar("command");
  if (command == nullptr) {
    WriteOutcome(body.text, "No command specified");
    return;
  }
  for (const Command& entry : kCommands) {
    if (strcmp(command, entry.name) == 0) {
      // The browser sends another site's requests with the user's
      // credentials, so only where they come from tells them apart.
      if (entry.changesDevice && !RequestIsSameOrigin()) {
        WriteOutcome(body.text, "Cross-origin request refused");
        return;
      }
      try {
        entry.handler(body);
      } catch (const std::bad_alloc&) {
        AnswerOutOfMemory(body);
      }
      return;
    }
  }
  WriteOutcome(body.text, "Unknown command");
}
