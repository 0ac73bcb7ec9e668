// Settling the ledger's claims with what the devices say: a claim whose
// device started becomes "running", a capture whose device is idle has
// ended, one whose device is no longer listed is "gone" once its file has
// stopped growing. Every write is done under the change lock.
#ifndef VELORANTIS_HELPER_LEDGER_CAPTURE_ENDS_H_
#define VELORANTIS_HELPER_LEDGER_CAPTURE_ENDS_H_

#include <cstdint>
#include <string>

#include "helper/ledger/ledger_store.h"
#include "shared/sqlite_handles.h"

// A capture whose device is no longer listed still holds its file while the
// file grows: a device that is only slow to enumerate may still be writing.
inline constexpr int64_t kQuietSecondsBeforeGone = 5;

// Who made the request and from where: REMOTE_USER and REMOTE_ADDR, "-" when
// the web server gave none.
std::string RequestUser();
std::string RequestAddress();

// 1 while a capture runs on the device, 0 when it is idle, -1 when the
// library cannot tell.
int CaptureStateOf(void* handle);

// The device's MAC text, empty when it cannot be read.
std::string MacTextOf(void* handle);

// What a claimed capture's device says now.
enum class DeviceNow { kCapturing, kIdle, kGone, kUnknown };

// Asks the device `mac` of the device list already prepared.
DeviceNow DeviceStateOf(const std::string& mac);

// What became of a claim once settled.
enum class Settled { kActive, kEnded, kNotWritten };

// Settles `entry`, a claim, as `device` says: a device capturing makes a
// claim "running"; an idle one ends the capture (a claim that never got a
// file "failed"); a device gone ends it as "gone" once its file has not
// changed for kQuietSecondsBeforeGone. kActive while the entry still claims
// its file, kNotWritten when the ledger refused the write.
Settled SettleCapture(sqlite3* ledger, const LedgerEntry& entry, DeviceNow device);

// Marks every claim of device `mac` as stopped now by this request.
void NoteCapturesStopped(sqlite3* ledger, const std::string& mac);

// For requests that only read: when the ledger has claims (of device `mac`
// only, unless it is null) and no other request holds the change lock,
// settles each with its device. Waits for nothing.
void NoteEndedCaptures(const char* mac);

#endif  // VELORANTIS_HELPER_LEDGER_CAPTURE_ENDS_H_
