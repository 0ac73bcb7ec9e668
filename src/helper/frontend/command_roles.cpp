#include "helper/frontend/command_roles.h"

#include "helper/frontend/json_text.h"

namespace {

constexpr bool EveryCommandNeedsARole() {
  for (const CommandRole& entry : kCommandRoles) {
    if (entry.role == Role::kNone) return false;
  }
  return true;
}
static_assert(EveryCommandNeedsARole(), "a command's least role is never kNone");

}  // namespace

void AppendLeastRoles(std::string& out) {
  out += "\"needs\": {";
  const char* separator = "";
  for (const CommandRole& entry : kCommandRoles) {
    out += separator;
    AppendTextMember(out, entry.command, RoleName(entry.role));
    separator = ", ";
  }
  out += '}';
}
