// Placeholder until the configuration commands land.
#include "helper/config/config_commands.h"

#include "helper/frontend/response.h"

int OutputConfig(std::string& out) {
  PrintResultNode(out, -1, "Unknown command");
  return 0;
}

int SetConfig(std::string& out) {
  PrintResultNode(out, -1, "Unknown command");
  return 0;
}
