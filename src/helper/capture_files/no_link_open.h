// Opening a capture file or its folder without following a symbolic link in
// any component of its path: a link put in place of the capture folder, or
// of any folder above it, must not lead a download or a removal to another
// file.
#ifndef VELORANTIS_HELPER_CAPTURE_FILES_NO_LINK_OPEN_H_
#define VELORANTIS_HELPER_CAPTURE_FILES_NO_LINK_OPEN_H_

#include <string>

// Opens `path` read-only, non-blocking (a FIFO in the file's place must not
// hold the request) and close-on-exec. The kernel resolves it refusing every
// link (openat2 with RESOLVE_NO_SYMLINKS) where it can; on a kernel without
// openat2 it is walked one component at a time with O_NOFOLLOW. Returns the
// descriptor, or -1 with errno set: ELOOP when a component is a link.
int OpenWithoutLinks(const std::string& path);

#endif  // VELORANTIS_HELPER_CAPTURE_FILES_NO_LINK_OPEN_H_
