// A state directory of the simulated device library for one test.
#ifndef VELORANTIS_TESTS_SUPPORT_SIM_DIR_H_
#define VELORANTIS_TESTS_SUPPORT_SIM_DIR_H_

#include <string>
#include <string_view>
#include <vector>

#include "support/temp_dir.h"

// Points VELORANTIS_SIM_DIR of this process at a fresh directory and resets the
// simulator's per-process counters, so in-process calls and the programs a
// test starts see the devices the test writes. At the end it stops every
// capture and waits for the writers to go.
class SimDir {
 public:
  SimDir();
  ~SimDir();

  const std::string& path() const { return dir_.path(); }
  // Replaces the devices file, one "MAC TYPE [OPTION ...]" per line.
  void WriteDevices(std::string_view lines) const;
  // The lines of calls.log, in order.
  std::vector<std::string> Calls() const;
  // Only the calls.log lines that begin with `operation` and a blank.
  std::vector<std::string> Calls(std::string_view operation) const;
  // Empties calls.log.
  void ClearCalls() const;
  // How many other processes were started with this directory as
  // VELORANTIS_SIM_DIR in their environment: once the programs a test ran
  // have exited, the capture writers they left. (Writers forked by this
  // process itself carry its original environment and are not counted.)
  int Processes() const;

 private:
  TempDir dir_;
};

#endif  // VELORANTIS_TESTS_SUPPORT_SIM_DIR_H_
