// Where the simulator keeps everything that outlives a process.
#ifndef VELORANTIS_SIM_STATE_DIR_H_
#define VELORANTIS_SIM_STATE_DIR_H_

#include <string>

namespace velorantis::sim {

// $VELORANTIS_SIM_DIR, or /tmp/velorantis-sim, created when missing. Looked
// up anew at each call because tests move it between cases.
std::string ResolveStateDir();

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_STATE_DIR_H_
