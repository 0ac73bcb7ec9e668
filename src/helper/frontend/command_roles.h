// Who may run which command: each command's least role, in one table. The
// dispatcher refuses a request whose role is below it (command_table), and
// the captures answer hands the table to the page, which offers only what
// the role allows.
#ifndef VELORANTIS_HELPER_FRONTEND_COMMAND_ROLES_H_
#define VELORANTIS_HELPER_FRONTEND_COMMAND_ROLES_H_

#include <string>
#include <string_view>

#include "helper/frontend/roles.h"

struct CommandRole {
  const char* command;
  Role role;
};

// Every command of the command table, in its order (the build checks both).
inline constexpr CommandRole kCommandRoles[] = {
    {.command = "list", .role = Role::kViewer},
    {.command = "start", .role = Role::kOperator},
    {.command = "stop", .role = Role::kOperator},
    {.command = "status", .role = Role::kViewer},
    {.command = "getconfig", .role = Role::kViewer},
    {.command = "setconfig", .role = Role::kOperator},
    {.command = "captures", .role = Role::kViewer},
    {.command = "metrics", .role = Role::kViewer},
    {.command = "download", .role = Role::kViewer},
    {.command = "getretention", .role = Role::kViewer},
    {.command = "setretention", .role = Role::kAdmin},
    {.command = "prune", .role = Role::kAdmin},
    {.command = "delete", .role = Role::kAdmin},
    {.command = "pin", .role = Role::kOperator},
    {.command = "audit", .role = Role::kAdmin},
    {.command = "extract", .role = Role::kViewer},
};

// The least role that may run `command`; kNone for a name the table lacks.
constexpr Role LeastRole(std::string_view command) {
  for (const CommandRole& entry : kCommandRoles) {
    if (command == entry.command) return entry.role;
  }
  return Role::kNone;
}

// `"needs": {"list": "viewer", ...}`: the table as a JSON member, for the
// page.
void AppendLeastRoles(std::string& out);

#endif  // VELORANTIS_HELPER_FRONTEND_COMMAND_ROLES_H_
