// Noticing that a capture has ended, for the ledger: the device says it is
// idle while the ledger still has its capture running. Each step is done
// under the change lock and reports nothing: a ledger that cannot be
// written never changes what a request answers.
#ifndef VELORANTIS_HELPER_LEDGER_CAPTURE_ENDS_H_
#define VELORANTIS_HELPER_LEDGER_CAPTURE_ENDS_H_

#include <cstdint>
#include <string>

#include "shared/sqlite_handles.h"

// Who made the request and from where: REMOTE_USER and REMOTE_ADDR, "-" when
// the web server gave none.
std::string RequestUser();
std::string RequestAddress();

// 1 while a capture runs on the device, 0 when it is idle, -1 when the
// library cannot tell.
int CaptureStateOf(void* handle);

// The device's MAC text, empty when it cannot be read.
std::string MacTextOf(void* handle);

// Marks every running entry of device `mac` as ended by itself, now, with
// the error figure the status database last had for it. For a device found
// idle; a null `ledger` does nothing.
void NoteCapturesEnded(sqlite3* ledger, const std::string& mac);

// Marks every running entry of device `mac` as stopped now by this request.
void NoteCapturesStopped(sqlite3* ledger, const std::string& mac);

// For requests that only read: when the ledger has captures running (of
// device `mac` only, unless it is null) and no other request holds the
// change lock, asks each of those devices and marks the captures of the
// idle ones as ended. Waits for nothing.
void NoteEndedCaptures(const char* mac);

#endif  // VELORANTIS_HELPER_LEDGER_CAPTURE_ENDS_H_
