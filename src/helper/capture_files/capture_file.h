// The capture file on the appliance's disk, as the start command sees it
// before the device writes it: refusals that say why, and an earlier
// capture kept under a name of its own instead of being overwritten.
#ifndef VELORANTIS_HELPER_CAPTURE_FILES_CAPTURE_FILE_H_
#define VELORANTIS_HELPER_CAPTURE_FILES_CAPTURE_FILE_H_

#include <cstdint>
#include <optional>
#include <string>

#include "shared/status.h"

// kNone when `folder` is a folder this process may create files in and
// `file` is either missing or a regular file (a symbolic link is refused,
// wherever it points), else the message: kDestinationMissing,
// kDestinationNotFolder, kDestinationNotWritable or kFileNotRegular. The
// empty folder is the
// root. The answer may be out of date as soon as it is given: the device
// library guards itself when it opens the file.
Message CheckDestination(const std::string& folder, const std::string& file);

// `file` with its folder's path resolved (realpath: absolute, no link, no
// "." or ".."), as the ledger keeps it so that a download can refuse every
// link; `file` as given when its folder cannot be resolved.
std::string CanonicalCapturePath(const std::string& file);

// Whether `a` and `b` name one file: the same text, or the same existing file
// by another path ("/x//f", a linked folder).
bool SameFile(const std::string& a, const std::string& b);

// When `file` (ending in ".pcapng") holds data, renames it in its folder to
// NAME-YYYYMMDDTHHMMSSZ.pcapng, the UTC time `started` (Unix seconds), or the
// file's modification time when `started` is negative; when that name is
// taken, NAME-YYYYMMDDTHHMMSSZ-2.pcapng and so on. No file is ever replaced.
// Returns the new path, "" when there was nothing to keep (no file, or an
// empty one), nullopt when the file could not be renamed.
std::optional<std::string> KeepEarlierCapture(const std::string& file, int64_t started);

// Undoes KeepEarlierCapture: renames `kept` back to `file`, which must not
// exist. False when it cannot.
bool RestoreEarlierCapture(const std::string& kept, const std::string& file);

#endif  // VELORANTIS_HELPER_CAPTURE_FILES_CAPTURE_FILE_H_
