#include "support/sim_dir.h"

#include <stdlib.h>
#include <unistd.h>

#include <sstream>

#include "sim/velorantis_sim.h"

SimDir::SimDir() {
  setenv("VELORANTIS_SIM_DIR", dir_.path().c_str(), 1);
  VelorantisSimReset();
}

SimDir::~SimDir() { unsetenv("VELORANTIS_SIM_DIR"); }

void SimDir::WriteDevices(std::string_view lines) const { WriteFile(dir_.File("devices"), lines); }

std::vector<std::string> SimDir::Calls() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(dir_.File("calls.log")));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> SimDir::Calls(std::string_view operation) const {
  std::vector<std::string> matching;
  const std::string prefix = std::string(operation) + " ";
  for (const std::string& line : Calls()) {
    if (line.compare(0, prefix.size(), prefix) == 0) matching.push_back(line);
  }
  return matching;
}

void SimDir::ClearCalls() const { unlink(dir_.File("calls.log").c_str()); }
