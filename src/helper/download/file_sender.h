// Copying a span of an open file to an output descriptor in constant memory.
#ifndef VELORANTIS_HELPER_DOWNLOAD_FILE_SENDER_H_
#define VELORANTIS_HELPER_DOWNLOAD_FILE_SENDER_H_

#include <cstdint>

// Writes `length` bytes of `file` from offset `first` to `out`, leaving the
// file's own offset alone. The kernel copies them (sendfile) where it can;
// where it refuses for this pair of descriptors, a fixed buffer carries them.
// A non-blocking `out` is waited for. Returns the bytes written: `length`,
// or fewer when writing failed (the reader has gone) or the file ended early
// (it was cut while being sent).
uint64_t SendFileSpan(int out, int file, uint64_t first, uint64_t length);

#endif  // VELORANTIS_HELPER_DOWNLOAD_FILE_SENDER_H_
