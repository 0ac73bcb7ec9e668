// What a download and an extraction share of the ledger and the request: a
// capture's own file, opened safely, and whether only the header is asked.
#ifndef VELORANTIS_HELPER_DOWNLOAD_CAPTURE_OPEN_H_
#define VELORANTIS_HELPER_DOWNLOAD_CAPTURE_OPEN_H_

#include <sys/stat.h>

#include "helper/frontend/server_settings.h"
#include "helper/ledger/ledger_store.h"
#include "shared/status.h"

// The entry's own file into `fd` (its status into `info`), or why none goes
// out: kNoFile, kFileGone, kFileNotRegular, kFileChanged, kCannotOpenFile.
Status OpenCaptureFile(const LedgerEntry& entry, int& fd, struct stat& info);

// A HEAD request: the header alone goes out, whole file or window.
bool AsksHeaderOnly(const RequestHeaders& request);

#endif  // VELORANTIS_HELPER_DOWNLOAD_CAPTURE_OPEN_H_
