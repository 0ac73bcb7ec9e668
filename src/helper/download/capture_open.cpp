#include "helper/download/capture_open.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "helper/frontend/failure_log.h"
#include "helper/capture_files/no_link_open.h"

// No link is followed (it could lead anywhere the web server's user may
// read), and no wait on a FIFO or device that has taken the file's place.
Status OpenCaptureFile(const LedgerEntry& entry, int& fd, struct stat& info) {
  if (entry.state == "failed") return Failed(Message::kNoFile);
  if (entry.state == "deleted" || entry.state == "missing") return Failed(Message::kFileGone);
  fd = OpenWithoutLinks(entry.file);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) return Failed(Message::kFileGone);
    if (error != ELOOP) {
      return Failed(Message::kCannotOpenFile, ErrnoCause("open", entry.file.c_str(), error));
    }
    // A link as the file itself, or a link in place of a folder above it.
    struct stat named {};
    const bool link = lstat(entry.file.c_str(), &named) == 0 && S_ISLNK(named.st_mode);
    return Failed(link ? Message::kFileNotRegular : Message::kFileChanged);
  }
  Message refusal = Message::kNone;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    refusal = Message::kFileNotRegular;
  } else if (!IsFileOf(entry, info)) {
    refusal = Message::kFileChanged;
  }
  if (refusal != Message::kNone) close(fd);
  return Failed(refusal);
}

bool AsksHeaderOnly(const RequestHeaders& request) {
  return request.method != nullptr && strcmp(request.method, "HEAD") == 0;
}
