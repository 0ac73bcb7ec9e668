#include "support/sim_dir.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "device_library/sim/velorantis_sim.h"

SimDir::SimDir() {
  setenv("VELORANTIS_SIM_DIR", dir_.path().c_str(), 1);
  VelorantisSimReset();
}

SimDir::~SimDir() {
  // Without its marker a writer ends after its round.
  std::error_code gone;
  for (const auto& entry : std::filesystem::directory_iterator(path(), gone)) {
    if (entry.path().extension() == ".capture") unlink(entry.path().c_str());
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Processes() > 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(Processes(), 0) << "capture writers left running";
  unsetenv("VELORANTIS_SIM_DIR");
}

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

int SimDir::Processes() const {
  const std::string wanted = "VELORANTIS_SIM_DIR=" + path();
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos ||
        name == std::to_string(getpid()))
      continue;
    std::istringstream environment(ReadFile(entry.path() / "environ"));
    for (std::string variable; std::getline(environment, variable, '\0');) {
      if (variable == wanted) ++count;
    }
  }
  return count;
}

void SimDir::ClearCalls() const { unlink(dir_.File("calls.log").c_str()); }
