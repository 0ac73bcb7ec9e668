// Offsets are 64-bit on every target: a capture file passes 4 GiB.
#include "helper/download/file_sender.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <algorithm>

static_assert(sizeof(off_t) == 8, "build with _FILE_OFFSET_BITS=64");

namespace {

// sendfile moves at most about 2 GiB per call; a smaller step keeps the
// count in a 32-bit size_t either way.
constexpr uint64_t kSendStep = uint64_t{1} << 30;
constexpr size_t kBufferSize = 64 * 1024;
constexpr int kPipeSize = 1 << 20;

// Whether a failed write may be retried: interrupted, or a non-blocking
// output that is full, waited for here.
bool WaitToRetry(int out) {
  if (errno == EINTR) return true;
  if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
  pollfd ready{out, POLLOUT, 0};
  return poll(&ready, 1, -1) >= 0 || errno == EINTR;
}

// The buffered copy, for outputs sendfile cannot write (such as one opened
// for appending) and kernels without it. Returns the bytes written.
uint64_t CopyThroughBuffer(int out, int file, uint64_t first, uint64_t length) {
  static char buffer[kBufferSize];
  uint64_t copied = 0;
  while (copied < length) {
    const ssize_t got =
        pread(file, buffer, static_cast<size_t>(std::min<uint64_t>(length - copied, kBufferSize)),
              static_cast<off_t>(first + copied));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return copied;
    for (ssize_t done = 0; done < got;) {
      const ssize_t wrote = write(out, buffer + done, static_cast<size_t>(got - done));
      if (wrote < 0 && WaitToRetry(out)) continue;
      if (wrote <= 0) return copied + static_cast<uint64_t>(done);
      done += wrote;
    }
    copied += static_cast<uint64_t>(got);
  }
  return copied;
}

}  // namespace

uint64_t SendFileSpan(int out, int file, uint64_t first, uint64_t length) {
  // A web server reads the answer from a pipe: a larger one carries more
  // per wake-up of either side (through lighttpd about half as fast again).
  // Where it is refused (not a pipe, past the system's limit) nothing changes.
  fcntl(out, F_SETPIPE_SZ, kPipeSize);
  off_t offset = static_cast<off_t>(first);
  uint64_t sentAll = 0;
  while (sentAll < length) {
    const ssize_t sent =
        sendfile(out, file, &offset, static_cast<size_t>(std::min(length - sentAll, kSendStep)));
    if (sent > 0) {
      sentAll += static_cast<uint64_t>(sent);
      continue;
    }
    if (sent == 0) break;  // the file is shorter than it was
    if (errno == EINVAL || errno == ENOSYS) {
      return sentAll +
             CopyThroughBuffer(out, file, static_cast<uint64_t>(offset), length - sentAll);
    }
    if (!WaitToRetry(out)) break;
  }
  return sentAll;
}
