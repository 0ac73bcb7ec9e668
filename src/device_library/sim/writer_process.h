// A capture's writer as a process of its own, which outlives the process
// that started the capture (for the back end: the CGI request).
#ifndef VELORANTIS_SIM_WRITER_PROCESS_H_
#define VELORANTIS_SIM_WRITER_PROCESS_H_

#include "capture_settings.h"
#include "device_registry.h"

namespace velorantis::sim {

// Starts the device's writer: detached (a session of its own, not a child
// of the caller, every inherited descriptor closed, standard input and
// output on /dev/null), so that the web server's request ends as soon as
// the CGI has answered. Returns once the writer holds its lock, has created
// the capture file with its header and recorded its state; false when it
// could not, or when another writer still holds the device. The caller
// holds the device's lock.
bool SpawnWriter(const Device& device, const CaptureSettings& settings);

// Asks the device's writer, if one runs, to end, and waits until it has
// (killing it when it has not after a few seconds).
void EndWriter(const Device& device);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_WRITER_PROCESS_H_
