// The work of a capture's writer process: synthetic frames into the capture
// file at a bounded rate, until a limit of the settings, a stop or the
// device's going ends the capture.
#ifndef VELORANTIS_SIM_CAPTURE_WRITER_H_
#define VELORANTIS_SIM_CAPTURE_WRITER_H_

#include <signal.h>

#include "capture_settings.h"
#include "device_registry.h"
#include "writer_state.h"

namespace velorantis::sim {

// Rounds of kFramesPerRound frames, kRoundMs apart: 1000 frames a second,
// about a megabyte.
inline constexpr long kRoundMs = 50;
inline constexpr uint32_t kFramesPerRound = 50;

// Asks a writer to end after its current round. The writer keeps it blocked
// and takes it only between rounds, so no block is ever left half written.
inline constexpr int kStopSignal = SIGTERM;

// Runs the capture whose file `capture_fd` already holds the header, its
// figures in `state` as they stand; `state_fd` is the locked state file,
// kept up to date after every round. Returns when the capture has ended: by
// count, size (without loop) or duration; on kStopSignal; when the device's
// ".capture" marker or its line of the devices file is gone; or when the
// file cannot be written (a full disk): then the file is cut back to its
// last whole block and the state's `error` holds the errno. The marker is
// gone on return.
void RunCapture(const Device& device, const CaptureSettings& settings, int capture_fd, int state_fd,
                WriterState state);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_CAPTURE_WRITER_H_
