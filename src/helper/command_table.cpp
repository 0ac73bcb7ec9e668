#include "helper/command_table.h"

#include <cstring>

#include "helper/capture/capture_commands.h"
#include "helper/config/config_commands.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/response.h"
#include "helper/status/status_command.h"

namespace {

// Tried in this order; the first entry equal to "command" as a whole, byte
// for byte, wins.
constexpr Command kCommands[] = {
    {"list", OutputList},     {"start", StartCapture},     {"stop", StopCapture},
    {"status", OutputStatus}, {"getconfig", OutputConfig}, {"setconfig", SetConfig},
};

}  // namespace

void DispatchCommand(std::string& out) {
  const char* command = getvar("command");
  if (command == nullptr) {
    WriteOutcome(out, "No command specified");
    return;
  }
  for (const Command& entry : kCommands) {
    if (strcmp(command, entry.name) == 0) {
      entry.handler(out);
      return;
    }
  }
  WriteOutcome(out, "Unknown command");
}
