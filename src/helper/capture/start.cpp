// Placeholder until the start command lands; answers as an unknown command would.
#include "helper/capture/capture_commands.h"
#include "helper/frontend/response.h"

int StartCapture(std::string& out) {
  PrintResultNode(out, -1, "Unknown command");
  return 0;
}
