#include "helper/capture_files/capture_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "helper/frontend/utc_time.h"

namespace {

constexpr char kExtension[] = ".pcapng";
// Far more than two captures ever start within one second into one folder.
constexpr int kMaxSuffix = 1000;

// A rename that fails rather than replace `to`. Where the file system cannot
// rename that way, a hard link does the same, then the old name goes.
bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (link(from.c_str(), to.c_str()) != 0) return false;
  return unlink(from.c_str()) == 0;
}

// Whether a file can be created in `dir`. The permission bits do not say it
// for every caller (root passes them, /proc included), so a nameless file is
// made and dropped; where the file system cannot make one, a named one.
bool CanCreateIn(const std::string& dir) {
  if (access(dir.c_str(), W_OK | X_OK) != 0) return false;
  int fd = open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd >= 0) {
    close(fd);
    return true;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
  const std::string probe = dir + "/.velorantis-probe-" + std::to_string(getpid());
  fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  close(fd);
  unlink(probe.c_str());
  return true;
}

}  // namespace

Message CheckDestination(const std::string& folder, const std::string& file) {
  const std::string dir = folder.empty() ? "/" : folder;
  struct stat info {};
  if (stat(dir.c_str(), &info) != 0) {
    return errno == EACCES ? Message::kDestinationNotWritable : Message::kDestinationMissing;
  }
  if (!S_ISDIR(info.st_mode)) return Message::kDestinationNotFolder;
  if (!CanCreateIn(dir)) return Message::kDestinationNotWritable;
  if (lstat(file.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return Message::kFileNotRegular;
  return Message::kNone;
}

std::string CanonicalCapturePath(const std::string& file) {
  const size_t slash = file.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
  char* resolved = realpath(folder.c_str(), nullptr);
  if (resolved == nullptr) return file;
  std::string path = resolved;
  free(resolved);
  if (!path.ends_with('/')) path += '/';
  return path + file.substr(slash == std::string::npos ? 0 : slash + 1);
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat first {
  }, second{};
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::optional<std::string> KeepEarlierCapture(const std::string& file, int64_t started) {
  struct stat info {};
  if (lstat(file.c_str(), &info) != 0) {
    return errno == ENOENT ? std::optional<std::string>("") : std::nullopt;
  }
  if (!S_ISREG(info.st_mode)) return std::nullopt;
  if (info.st_size == 0) return "";
  const std::string stem =
      file.ends_with(kExtension) ? file.substr(0, file.size() - (sizeof kExtension - 1)) : file;
  const std::string base = stem + "-" + CompactUtc(started >= 0 ? started : info.st_mtime);
  for (int suffix = 1; suffix <= kMaxSuffix; ++suffix) {
    std::string kept = base;
    if (suffix > 1) kept.append("-").append(std::to_string(suffix));
    kept += kExtension;
    if (RenameWithoutReplacing(file, kept)) return kept;
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

bool RestoreEarlierCapture(const std::string& kept, const std::string& file) {
  return RenameWithoutReplacing(kept, file);
}
