#include "helper/frontend/request_identity.h"

#include <cstdlib>

namespace {

std::string EnvironmentOrDash(const char* name) {
  const char* value = getenv(name);
  return value != nullptr && *value != '\0' ? value : "-";
}

}  // namespace

std::string RequestUser() { return EnvironmentOrDash("REMOTE_USER"); }

std::string RequestAddress() { return EnvironmentOrDash("REMOTE_ADDR"); }
