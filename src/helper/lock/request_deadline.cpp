#include "helper/lock/request_deadline.h"

#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

const char kTimedOutResponse[] =
    "Content-type: application/json\n\n"
    "{\"root\": {\n\"result\": -1,\n\"message\": \"Device did not answer in time\"}}\n";

namespace {

// Only async-signal-safe calls: the signal may come in the middle of any
// library call, malloc and stdio included, so the answer is written whole
// from fixed text and the process ends without running any exit handler.
extern "C" void AnswerTimedOut(int) {
  const char* rest = kTimedOutResponse;
  size_t left = sizeof kTimedOutResponse - 1;
  while (left > 0) {
    const ssize_t put = write(STDOUT_FILENO, rest, left);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    rest += put;
    left -= static_cast<size_t>(put);
  }
  _exit(0);
}

}  // namespace

void ArmRequestDeadline(int ms) {
  struct sigaction action {};
  action.sa_handler = AnswerTimedOut;
  sigemptyset(&action.sa_mask);
  sigaction(SIGALRM, &action, nullptr);
  itimerval timer{};
  timer.it_value.tv_sec = ms / 1000;
  timer.it_value.tv_usec = (ms % 1000) * 1000;
  setitimer(ITIMER_REAL, &timer, nullptr);
}

void DisarmRequestDeadline() {
  const itimerval off{};
  setitimer(ITIMER_REAL, &off, nullptr);
}
