// The byte range a download request asks for, from its Range header.
#ifndef VELORANTIS_HELPER_DOWNLOAD_BYTE_RANGE_H_
#define VELORANTIS_HELPER_DOWNLOAD_BYTE_RANGE_H_

#include <cstdint>

enum class RangeKind {
  kWhole,          // no usable range: 200 with the whole file
  kPart,           // one satisfiable range: 206
  kUnsatisfiable,  // one range that starts at or past the end: 416
};

struct ByteRange {
  RangeKind kind = RangeKind::kWhole;
  uint64_t first = 0;   // offset of the first byte sent
  uint64_t length = 0;  // bytes sent: the whole size for kWhole, 0 for kUnsatisfiable
};

// The range `header` (the Range field's value, or null when the request has
// none) selects of a file of `size` bytes. Only one range of unit "bytes" is
// served: "a-b" (b clipped to the last byte), "a-" and the suffix "-n" (the
// last n bytes, the whole file when n passes its size). A field that does not
// parse, names another unit or asks for several ranges gives kWhole, as a
// server may answer any range request with the whole file. A range that
// begins at or past the end, and "-0", give kUnsatisfiable; on an empty file
// every range does. Numbers too large for 64 bits saturate.
ByteRange ParseByteRange(const char* header, uint64_t size);

#endif  // VELORANTIS_HELPER_DOWNLOAD_BYTE_RANGE_H_
