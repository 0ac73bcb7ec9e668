// The state file of a device's capture writer, STATE_DIR/aabbccddeeff.writer:
// the writer's process id and how far its capture has come. The writer holds
// an flock on it for as long as it lives, so the lock, not the process id,
// tells whether it still runs; and the file keeps the last figures after it
// has ended.
#ifndef VELORANTIS_SIM_WRITER_STATE_H_
#define VELORANTIS_SIM_WRITER_STATE_H_

#include <sys/types.h>

#include <cstdint>
#include <optional>

#include "device_registry.h"

namespace velorantis::sim {

struct WriterState {
  pid_t pid = 0;
  uint64_t written = 0;     // bytes written to capture files by this capture
  uint64_t cache_used = 0;  // bytes that went through the cache in the last round
  uint64_t max_cache = 0;
  int error = 0;  // the errno that ended the capture; 0 unless the file could not be written
};

// Opens (creating) the device's state file and takes its lock. -1 when the
// file cannot be opened or another writer holds the lock.
int LockWriterState(const Device& device);

// Overwrites the state in place (every state takes the same number of
// bytes), so the state directory never gains an entry while the writer runs.
bool SaveWriterState(int fd, const WriterState& state);

// None when the device never had a writer.
std::optional<WriterState> LoadWriterState(const Device& device);

// Whether a process holds the lock of the device's state file.
bool WriterAlive(const Device& device);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_WRITER_STATE_H_
