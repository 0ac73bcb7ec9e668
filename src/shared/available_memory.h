// The physical memory free at a moment: what a request may take for its
// answer, and what a capture may take for its cache.
#ifndef VELORANTIS_SHARED_AVAILABLE_MEMORY_H_
#define VELORANTIS_SHARED_AVAILABLE_MEMORY_H_

#include <cstdint>

// The bytes of physical memory available at the moment of the call:
// AvailableBytes of sysconf's available pages and page size.
uint64_t GetAvailableRAMSize();

// `pages` times `pageSize`, or 0 when either is negative: sysconf answers -1
// when it cannot tell, and no memory is safer to assume than a wrapped
// figure near 2^64.
uint64_t AvailableBytes(int64_t pages, int64_t pageSize);

#endif  // VELORANTIS_SHARED_AVAILABLE_MEMORY_H_
