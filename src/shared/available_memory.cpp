#include "shared/available_memory.h"

#include <unistd.h>

uint64_t GetAvailableRAMSize() {
  return AvailableBytes(sysconf(_SC_AVPHYS_PAGES), sysconf(_SC_PAGESIZE));
}

uint64_t AvailableBytes(int64_t pages, int64_t pageSize) {
  if (pages < 0 || pageSize < 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}
