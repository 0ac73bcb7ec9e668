#include "writer_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "capture_writer.h"
#include "file_io.h"
#include "pcapng.h"
#include "writer_state.h"

namespace velorantis::sim {
namespace {

constexpr char kReady = 1;
// How long a writer may take to finish its round after the stop signal.
constexpr int kEndWaitMs = 5000;
// How long a start waits for its writer to be ready: a writer stuck on its
// file (a hung network mount) must not hold up the caller. Once the caller
// has given up, the writer dies of SIGPIPE when it reports.
constexpr int kReadyWaitMs = 2000;

void CloseAllBut(int kept) {
  if (close_range(0, static_cast<unsigned>(kept) - 1, 0) == 0 &&
      close_range(static_cast<unsigned>(kept) + 1, ~0u, 0) == 0) {
    return;
  }
  const long open_max = sysconf(_SC_OPEN_MAX);
  for (int fd = 0; fd < (open_max > 0 ? open_max : 1024); ++fd) {
    if (fd != kept) close(fd);
  }
}

// In the new process: what a daemon needs, then the capture. The stop
// signal stays blocked, to be taken between rounds only.
int RunDetached(const Device& device, const CaptureSettings& settings, int ready) {
  CloseAllBut(ready);
  const int null = open("/dev/null", O_RDWR);  // descriptor 0, being the lowest free
  if (null != 0 || dup2(null, 1) != 1 || dup2(null, 2) != 2) return 1;
  signal(kStopSignal, SIG_DFL);
  // Past a file-size limit a write fails with EFBIG, which ends the capture
  // as a full disk does, rather than killing the writer mid-block.
  signal(SIGXFSZ, SIG_IGN);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, kStopSignal);
  sigprocmask(SIG_BLOCK, &stop, nullptr);

  const int state_fd = LockWriterState(device);
  if (state_fd < 0) return 1;
  const int capture_fd = OpenCaptureFile(settings.path);
  const std::string header = PcapngHeader(settings.snaplen);
  if (capture_fd < 0 || !WriteAll(capture_fd, header)) return 1;
  const WriterState state{getpid(), header.size(), 0, settings.max_cache, 0};
  if (ftruncate(state_fd, 0) != 0 || !SaveWriterState(state_fd, state)) return 1;
  if (!WriteAll(ready, std::string_view(&kReady, 1))) return 1;
  close(ready);
  RunCapture(device, settings, capture_fd, state_fd, state);
  return 0;
}

bool ReadyByte(int fd) {
  pollfd ready{fd, POLLIN, 0};
  int polled;
  while ((polled = poll(&ready, 1, kReadyWaitMs)) < 0 && errno == EINTR) {
  }
  if (polled != 1) return false;
  char byte = 0;
  ssize_t got;
  while ((got = read(fd, &byte, 1)) < 0 && errno == EINTR) {
  }
  return got == 1 && byte == kReady;
}

void SleepMs(long ms) {
  timespec wait{ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

bool WaitForEnd(const Device& device, int ms) {
  for (int waited = 0; waited < ms; waited += 5) {
    if (!WriterAlive(device)) return true;
    SleepMs(5);
  }
  return !WriterAlive(device);
}

}  // namespace

bool SpawnWriter(const Device& device, const CaptureSettings& settings) {
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) return false;
  const pid_t child = fork();
  if (child == 0) {
    // The grandchild is the writer: once the child has gone, it belongs to
    // no process of the caller's, which need not reap it.
    if (setsid() < 0 || fork() != 0) _exit(0);
    _exit(RunDetached(device, settings, ready[1]));
  }
  close(ready[1]);
  const bool started = child > 0 && ReadyByte(ready[0]);
  close(ready[0]);
  if (child > 0) {
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  return started;
}

void EndWriter(const Device& device) {
  const std::optional<WriterState> state = LoadWriterState(device);
  if (!state || state->pid <= 0 || !WriterAlive(device)) return;
  kill(state->pid, kStopSignal);
  if (WaitForEnd(device, kEndWaitMs)) return;
  kill(state->pid, SIGKILL);
  WaitForEnd(device, kEndWaitMs);
}

}  // namespace velorantis::sim
