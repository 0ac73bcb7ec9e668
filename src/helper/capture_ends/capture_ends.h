// Settling the ledger's claims with what the devices say: a claim whose
// device started becomes "running", a capture whose device is idle has
// ended, one whose device is no longer listed is "gone" once its file has
// stopped growing. Every write is done under the change lock.
#ifndef VELORANTIS_HELPER_CAPTURE_ENDS_CAPTURE_ENDS_H_
#define VELORANTIS_HELPER_CAPTURE_ENDS_CAPTURE_ENDS_H_

#include <cstdint>
#include <string>

#include "helper/device/device_state.h"
#include "helper/ledger/ledger_store.h"
#include "shared/status.h"

// A capture whose device is no longer listed still holds its file while the
// file grows: a device that is only slow to enumerate may still be writing.
inline constexpr int64_t kQuietSecondsBeforeGone = 5;

// What became of a claim once settled.
enum class Settled { kActive, kEnded };

// Whether an end may wait for its error figure: the status daemon tells it
// on its next round after the end (a full disk, say). A request that only
// reads awaits it (for at most kQuietSecondsBeforeGone after the file's last
// write); one that must settle the claim now (a start, a stop) takes what
// the daemon has.
enum class EndError { kTakeNow, kAwait };

// Settles `entry`, a claim, as `device` says: a device capturing makes a
// claim "running"; an idle one ends the capture (a claim that never got a
// file "failed"); a device gone ends it as "gone" once its file has not
// changed for kQuietSecondsBeforeGone. `settled` is kActive while the entry
// still claims its file. Fails as the ledger does when it refused the write.
Status SettleCapture(sqlite3* ledger, const LedgerEntry& entry, DeviceNow device, EndError endError,
                     Settled& settled);

// Marks every claim of device `mac` as stopped now by `user` from `address`.
Status NoteCapturesStopped(sqlite3* ledger, const std::string& mac, const std::string& user,
                           const std::string& address);

// The housekeeping step before the commands that show the ledger: makes the
// records database or brings it up to date, and when the ledger has claims
// and no other request holds the change lock, settles each with its device,
// and when one has ended keeps the captures within the retention policy.
// Waits for nothing. A device library that cannot be loaded tells nothing
// of the devices: the claims stay. Fails as the ledger does; another request
// holding the lock is no failure.
Status NoteEndedCaptures();

#endif  // VELORANTIS_HELPER_CAPTURE_ENDS_CAPTURE_ENDS_H_
