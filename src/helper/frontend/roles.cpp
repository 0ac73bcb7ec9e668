#include "helper/frontend/roles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>

namespace {

constexpr const char* kRoleNames[] = {"none", "viewer", "operator", "admin"};
constexpr size_t kMostBytes = 64 * 1024;

std::optional<Role> RoleNamed(std::string_view name) {
  for (uint8_t role = 1; role < std::size(kRoleNames); ++role) {
    if (name == kRoleNames[role]) return static_cast<Role>(role);
  }
  return std::nullopt;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The next word of `line` from `at` on, which is left after it.
std::string_view NextWord(std::string_view line, size_t& at) {
  while (at < line.size() && IsBlank(line[at])) ++at;
  const size_t start = at;
  while (at < line.size() && !IsBlank(line[at])) ++at;
  return line.substr(start, at - start);
}

Access Damaged(const char* path, size_t line, const std::string& what) {
  return {true, Role::kNone, std::string(path) + " line " + std::to_string(line) + ": " + what};
}

}  // namespace

const char* RoleName(Role role) { return kRoleNames[static_cast<size_t>(role)]; }

Access AccessIn(std::string_view text, const std::string& user, const char* path) {
  // The line that names the user, else "*" for a login, "-" for none.
  const std::string_view fallback = user.empty() ? "-" : "*";
  const bool named = !user.empty() && user != "*" && user != "-";
  std::optional<Role> own;
  std::optional<Role> other;
  std::set<std::string_view> seen;  // the names so far
  size_t number = 0;
  while (!text.empty()) {
    ++number;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    line = line.substr(0, line.find('#'));
    size_t at = 0;
    const std::string_view name = NextWord(line, at);
    if (name.empty()) continue;
    const std::string_view roleName = NextWord(line, at);
    if (roleName.empty() || !NextWord(line, at).empty()) {
      return Damaged(path, number, "not \"NAME ROLE\"");
    }
    const std::optional<Role> role = RoleNamed(roleName);
    if (!role) {
      std::string unknown = "unknown role \"";
      unknown += roleName;
      unknown += '"';
      return Damaged(path, number, unknown);
    }
    if (!seen.insert(name).second) {
      std::string twice = "\"";
      twice += name;
      twice += "\" named twice";
      return Damaged(path, number, twice);
    }
    if (named && name == user) own = role;
    if (name == fallback) other = role;
  }
  return {true, own ? *own : other.value_or(Role::kNone), ""};
}

Access AccessFromFile(const char* path, const std::string& user) {
  // Never waits: a FIFO or a device in the file's place opens at once and is
  // refused as no regular file.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    const int error = errno;
    // Only no entry at all is no roles file: a link to nothing is a roles
    // file that cannot be read, which grants nothing.
    struct stat entry {};
    if (error == ENOENT && lstat(path, &entry) != 0 && errno == ENOENT) return {};
    return {true, Role::kNone, std::string(path) + ": " + strerror(error)};
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return {true, Role::kNone, std::string(path) + ": not a regular file"};
  }
  // Room for what the file holds and one byte more, which tells a file
  // that grew since; that one takes more room, up to one byte past the most.
  const size_t stated = static_cast<size_t>(std::min<off_t>(info.st_size, kMostBytes + 1));
  std::string text(stated + 1, '\0');
  size_t filled = 0;
  ssize_t got = 0;
  while ((got = read(fd, text.data() + filled, text.size() - filled)) != 0) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    filled += static_cast<size_t>(got);
    if (filled < text.size()) continue;
    if (filled > kMostBytes) break;
    text.resize(std::min(text.size() * 2, kMostBytes + 1));
  }
  const int readError = got < 0 ? errno : 0;
  close(fd);
  if (readError != 0) return {true, Role::kNone, std::string(path) + ": " + strerror(readError)};
  if (filled > kMostBytes) return {true, Role::kNone, std::string(path) + ": larger than 64 KiB"};
  text.resize(filled);
  return AccessIn(text, user, path);
}

bool Permits(const Access& access, Role needed, std::string& cause) {
  if (!access.damage.empty()) {
    cause = "roles file unusable, nothing granted: " + access.damage;
    return false;
  }
  if (access.role >= needed) return true;
  cause = std::string("role ") + RoleName(access.role) + ", the command needs " + RoleName(needed);
  return false;
}
