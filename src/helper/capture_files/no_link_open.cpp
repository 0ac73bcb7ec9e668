#include "helper/capture_files/no_link_open.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr int kFileFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

// Opens component `name` of folder `dir` (AT_FDCWD with "/name" for the
// root's) as a folder to walk on from, without following it if it is a
// link. Closes `dir` unless it is AT_FDCWD.
int StepInto(int dir, const std::string& name) {
  // O_PATH with O_NOFOLLOW opens a link itself, which is then told apart.
  const int next = openat(dir, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  const int error = errno;
  if (dir != AT_FDCWD) close(dir);
  if (next < 0) {
    errno = error;
    return -1;
  }
  struct stat info {};
  if (fstat(next, &info) != 0 || !S_ISDIR(info.st_mode)) {
    errno = S_ISLNK(info.st_mode) ? ELOOP : ENOTDIR;
    close(next);
    return -1;
  }
  return next;
}

// The first folder of an absolute path is opened by its absolute name, not
// from an open "/": an emulator that runs the program with the target's
// system folder as its root (qemu-user's -L) maps "/" there, but passes
// other absolute names through unless that folder has them.
int WalkWithoutLinks(const std::string& path) {
  int dir = AT_FDCWD;
  size_t begin = 0;
  bool first = true;
  while (true) {
    while (begin < path.size() && path[begin] == '/') ++begin;
    const size_t end = path.find('/', begin);
    // The root's folder keeps the slash before its name.
    const size_t from = first && path.starts_with('/') ? begin - 1 : begin;
    const std::string name = path.substr(from, end - from);
    first = false;
    if (end == std::string::npos) {
      const int fd = openat(dir, name.empty() ? "." : name.c_str(), kFileFlags);
      const int error = errno;
      if (dir != AT_FDCWD) close(dir);
      errno = error;
      return fd;
    }
    dir = StepInto(dir, name);
    if (dir < 0) return -1;
    begin = end;
  }
}

}  // namespace

int OpenWithoutLinks(const std::string& path) {
  open_how how{};
  how.flags = kFileFlags;
  how.resolve = RESOLVE_NO_SYMLINKS;
  const long fd = syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
  // Older kernels, and emulators that do not know the call, fall back.
  if (fd < 0 && (errno == ENOSYS || errno == EPERM)) return WalkWithoutLinks(path);
  return static_cast<int>(fd);
}
