// The command line of velorantis-statusd-sim.
#ifndef VELORANTIS_STATUSD_SIM_OPTIONS_H_
#define VELORANTIS_STATUSD_SIM_OPTIONS_H_

#include <string>

struct Options {
  std::string db;         // --db PATH
  unsigned interval = 1;  // --interval SECONDS between rounds
  bool once = false;      // --once: one round, then exit
};

// Reads `argv`, starting from the built-in status database path and the
// defaults above. Returns false, after writing the reason and the usage to
// standard error, for an unknown option, a missing value or an interval that
// is not a whole number of seconds.
bool ParseOptions(int argc, char** argv, Options& options);

#endif  // VELORANTIS_STATUSD_SIM_OPTIONS_H_
