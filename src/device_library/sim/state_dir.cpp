#include "state_dir.h"

#include <cstdlib>

#include "file_io.h"

namespace velorantis::sim {

std::string ResolveStateDir() {
  const char* from_env = std::getenv("VELORANTIS_SIM_DIR");
  std::string dir = from_env != nullptr && *from_env != '\0' ? from_env : "/tmp/velorantis-sim";
  // A directory we cannot create only costs the log and device state; the
  // operations themselves report failure where they need it.
  MakeDirs(dir);
  return dir;
}

}  // namespace velorantis::sim
