// A request that holds the devices must not hold them forever: a library
// call can block without end (a capture file on a hung network mount, a
// device that never answers), and the change lock would go with it.
// Past its deadline the process writes a whole answer of its own and exits,
// which releases every lock it holds.
#ifndef VELORANTIS_HELPER_LOCK_REQUEST_DEADLINE_H_
#define VELORANTIS_HELPER_LOCK_REQUEST_DEADLINE_H_

// The whole response written at the deadline: result -1, "Device did not
// answer in time".
extern const char kTimedOutResponse[];

// In `ms` milliseconds from now, unless disarmed first: writes
// kTimedOutResponse to standard output with write(2) and exits with status
// 0. Nothing of the request's own answer may have reached standard output
// yet. Replaces a deadline armed before.
void ArmRequestDeadline(int ms);

// Cancels the deadline, if one is armed.
void DisarmRequestDeadline();

#endif  // VELORANTIS_HELPER_LOCK_REQUEST_DEADLINE_H_
