// velorantis-statusd-sim: a stand-in for the status daemon, for development
// and demos. Every interval it asks the device library for its devices and
// writes their state and a synthetic statistics sample each into the status
// database, until SIGINT or SIGTERM (or after one round with --once).
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "VelorantisAPI.h"
#include "device_scan.h"
#include "options.h"
#include "shared/device_library.h"
#include "status_store.h"

namespace {

// Blocked for the whole run, so a stop request never cuts a round short: it
// waits as pending until WaitForStop takes it.
sigset_t BlockStopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  return signals;
}

// Sleeps `seconds`; true when a stop signal came before or during the sleep.
bool WaitForStop(const sigset_t& signals, unsigned seconds) {
  // No longer than a 32-bit time_t (the appliance's) holds: beyond it the
  // timeout would turn negative, every wait would fail at once, and the
  // daemon would spin without ever taking the pending stop signal.
  constexpr unsigned kLongestWait = INT32_MAX;  // 68 years
  timespec timeout{static_cast<time_t>(std::min(seconds, kLongestWait)), 0};
  int received;
  while ((received = sigtimedwait(&signals, nullptr, &timeout)) < 0 && errno == EINTR) {
  }
  return received > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) return 2;
  const sigset_t stopSignals = BlockStopSignals();
  Connection db = OpenStore(options.db);
  if (!db) return 1;
  VelorantisAPIInitialize();
  // Without its library the daemon still runs, recording no devices: say so
  // once, where whoever started it looks.
  if (const char* failure = DeviceLibraryFailure(); failure != nullptr) {
    fprintf(stderr, "velorantis-statusd-sim: %s; no devices will be recorded\n", failure);
  }
  for (;;) {
    const bool written = WriteStatusRound(db.get(), ScanDevices(), time(nullptr));
    if (options.once) return written ? 0 : 1;
    if (WaitForStop(stopSignals, options.interval)) return 0;
  }
}
