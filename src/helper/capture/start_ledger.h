// The start command's steps with the capture ledger, under the device
// request lock: who else writes the capture file, what becomes of the data
// already in it, and the row the start leaves behind.
#ifndef VELORANTIS_HELPER_CAPTURE_START_LEDGER_H_
#define VELORANTIS_HELPER_CAPTURE_START_LEDGER_H_

#include <string>

#include "helper/records/capture_records.h"
#include "shared/sqlite_handles.h"

// Makes `file` ready for device `mac`'s new capture. Returns null, or:
// "Capture file is in use by another device" when the ledger has another
// device's capture running into it and that device still captures (one
// that turns out idle is marked ended instead); "Failed to keep the earlier
// capture file" when data already in the file cannot be renamed aside
// (KeepEarlierCapture, dated by the ledger's newest capture into that file).
// A null `ledger` skips the first check and dates by the file's own time.
const char* ClaimCaptureFile(sqlite3* ledger, const std::string& mac, const std::string& file);

// Adds the start's row: "running" when `started`, else "failed" and ended
// now; the settings as the device received them (the file is their
// destination), who and from where.
void RecordStart(sqlite3* ledger, const std::string& mac, const CaptureSettings& settings,
                 bool started);

#endif  // VELORANTIS_HELPER_CAPTURE_START_LEDGER_H_
