// A capture file known by what it is, not by its name: the file system's
// device and inode, and once the capture has ended its size and
// modification time. A name can come to mean another file (a link swapped
// into the capture folder, a file put in the capture's place); the identity
// cannot.
#ifndef VELORANTIS_HELPER_CAPTURE_FILES_FILE_IDENTITY_H_
#define VELORANTIS_HELPER_CAPTURE_FILES_FILE_IDENTITY_H_

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>

struct FileIdentity {
  int64_t device = 0;  // 0 with inode 0: not known
  int64_t inode = 0;
  int64_t size = -1;      // -1: not known (the capture may still grow)
  int64_t modified = -1;  // nanoseconds since the epoch; -1: not known
};

// The identity of the file `info` describes, its size and time included.
FileIdentity IdentityOf(const struct stat& info);

// `file`'s device and inode alone: what stays true of a capture's file
// while it grows.
FileIdentity InodeOf(const FileIdentity& file);

// The identity of the regular file at `path`, a link not followed; nullopt
// when there is none.
std::optional<FileIdentity> RegularFileAt(const std::string& path);

// Whether `file` names a file at all: a device and inode are known.
bool IsKnown(const FileIdentity& file);

// Whether the file `info` describes is the one `recorded` names: the same
// device and inode, and the same size and time where they are known. A
// record that knows nothing matches no file.
bool IsRecordedFile(const FileIdentity& recorded, const struct stat& info);

#endif  // VELORANTIS_HELPER_CAPTURE_FILES_FILE_IDENTITY_H_
