// Who may do what: the roles file gives each user the web server logged in
// (REMOTE_USER) a role, and each command needs one (command_roles).
// Without the file (no entry at that path at all) everyone may do
// everything; anything else there that is no readable regular file (a link
// to nothing, a FIFO, a folder), or a file with a line it does not
// understand, grants nothing.
//
// The file, one entry a line:
//   # a comment, to the end of the line
//   alice admin
//   bob operator
//   * viewer        any other user the web server logged in
//   - viewer        a request without a login
// A name may appear once; the roles are viewer, operator and admin.
#ifndef VELORANTIS_HELPER_FRONTEND_ROLES_H_
#define VELORANTIS_HELPER_FRONTEND_ROLES_H_

#include <cstdint>
#include <string>
#include <string_view>

// In order: each role may do all that the ones before it may. kNone may do
// nothing; a command's role is never kNone.
enum class Role : uint8_t { kNone, kViewer, kOperator, kAdmin };

// "none", "viewer", "operator", "admin".
const char* RoleName(Role role);

struct Access {
  bool configured = false;  // there is a roles file
  Role role = Role::kAdmin;
  // Why nothing is granted: the file's path and line, or the system's
  // error reading it; empty when the file was understood.
  std::string damage;
};

// The access that roles file `text` gives `user` (REMOTE_USER; empty: no
// login). `path` names the file in `damage`.
Access AccessIn(std::string_view text, const std::string& user, const char* path);

// The access that the roles file at `path` gives `user` (not there: not
// configured, everyone an admin; more than 64 KiB: damaged).
Access AccessFromFile(const char* path, const std::string& user);

// Whether `access` may run a command that needs `needed`; `cause` then says
// why not for the failure log.
bool Permits(const Access& access, Role needed, std::string& cause);

#endif  // VELORANTIS_HELPER_FRONTEND_ROLES_H_
