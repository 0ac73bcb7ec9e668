#include "helper/lock/change_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <string>

#include "helper/frontend/failure_log.h"
#include "helper/lock/request_deadline.h"

namespace {

constexpr int kPollMs = 5;

int64_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

void SleepMs(int ms) {
  timespec pause{0, ms * 1000000L};
  while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
}

}  // namespace

ChangeLock::~ChangeLock() {
  if (fd < 0) return;
  close(fd);
  DisarmRequestDeadline();
}

Status LockChanges(ChangeLock& lock, const char* path, int waitMs) {
  ArmRequestDeadline(kChangeDeadlineMs);
  // O_NOFOLLOW: whoever can write the folder must not be able to point the
  // web server's user at another file to create or lock. Read access is all
  // flock needs, so a file another account left behind (root's, after a run
  // by hand) still serves as long as the web server's user can read it.
  lock.fd = open(path, O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0660);
  if (lock.fd < 0) {
    const int error = errno;
    DisarmRequestDeadline();
    return Failed(Message::kLockFileUnusable, ErrnoCause("open", path, error));
  }
  // Polled rather than blocking: a blocking flock has no timeout, and a
  // request stuck behind a hung one would hold the web server's process.
  const int64_t deadline = NowMs() + waitMs;
  while (flock(lock.fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if ((error != EWOULDBLOCK && error != EINTR) || NowMs() >= deadline) {
      close(lock.fd);
      lock.fd = -1;
      DisarmRequestDeadline();
      if (error == EINTR || error == EWOULDBLOCK) {
        return Failed(Message::kDeviceBusy, "another request held the lock on " +
                                                std::string(path) + " for " +
                                                std::to_string(waitMs) + " ms");
      }
      return Failed(Message::kLockFileUnusable, ErrnoCause("flock", path, error));
    }
    SleepMs(kPollMs);
  }
  return {};
}
