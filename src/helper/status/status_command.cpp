// Placeholder until the status command lands.
#include "helper/status/status_command.h"

#include "helper/frontend/response.h"

int OutputStatus(std::string& out) {
  PrintResultNode(out, -1, "Unknown command");
  return -1;
}
