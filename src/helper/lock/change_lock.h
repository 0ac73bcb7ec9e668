// One request at a time at the devices. The sequences that change a device or
// the stored configuration (start: status check, configuration, start;
// setconfig: store the row, apply the features; stop) run under one lock
// that every process of the program shares: an flock on a lock file.
// Requests that only read (list, status, getconfig) never take it.
#ifndef VELORANTIS_HELPER_LOCK_CHANGE_LOCK_H_
#define VELORANTIS_HELPER_LOCK_CHANGE_LOCK_H_

#include "shared/status.h"

// How long a request waits for another one to finish before it gives up.
inline constexpr int kChangeLockWaitMs = 5000;
// How long a request may take from asking for the lock to releasing it: the
// wait, then a few seconds for the device. Past it the process answers -1
// "Device did not answer in time" and exits (ArmRequestDeadline).
inline constexpr int kChangeDeadlineMs = kChangeLockWaitMs + 4000;

// Holds the lock while it lives; the lock goes with the descriptor, also when
// the process dies. Releasing it also cancels the request's deadline.
struct ChangeLock {
  ChangeLock() = default;
  ChangeLock(const ChangeLock&) = delete;
  ChangeLock& operator=(const ChangeLock&) = delete;
  ~ChangeLock();
  int fd = -1;
};

// Takes the lock on the file at `path` (opened for reading only; created with
// mode 0660 when missing, never through a symbolic link), waiting at most
// `waitMs`. Succeeds once it is held, else fails with kDeviceBusy when the
// wait ran out, kLockFileUnusable when the file cannot be opened or locked. A
// request that cannot lock never goes on unlocked. Arms the request's
// deadline (kChangeDeadlineMs from now) for as long as the lock is held or
// waited for.
Status LockChanges(ChangeLock& lock, const char* path, int waitMs = kChangeLockWaitMs);

#endif  // VELORANTIS_HELPER_LOCK_CHANGE_LOCK_H_
