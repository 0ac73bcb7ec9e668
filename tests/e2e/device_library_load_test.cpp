// Requests when the device library cannot be loaded: the answers of a library
// without devices, and the loader's reason in the failure line.
#include <gtest/gtest.h>

#include <string>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

TEST(DeviceLibraryLoadTest, AnswersAsWithoutDevicesAndLogsWhy) {
  TempDir notElf;
  WriteFile(notElf.File("libVelorantisAPI.so.2"), "not a library\n");
  struct Library {
    std::string folder;  // first in the loader's search (LD_LIBRARY_PATH)
    const char* reason;
  };
  const Library libraries[] = {
      {notElf.path(), "libVelorantisAPI.so.2: file too short"},
      {VELORANTIS_INCOMPLETE_API_DIR, "undefined symbol: VelorantisAPIGetDevicesList"},
  };
  const std::string invalidMac = "\"result\": -1,\n\"message\": \"Invalid MAC address\"";
  struct Request {
    const char* query;
    std::string body;
  };
  const Request requests[] = {
      {"command=list", "\"result\": 0,\n\"message\": \"\",\n\"devices\": [\n]\n"},
      {"command=stop&mac=default", invalidMac},
      {"command=status&mac=default", invalidMac},
  };
  for (const Library& library : libraries) {
    for (const Request& request : requests) {
      const ProgramResult result = RunHelper(request.query, {{"LD_LIBRARY_PATH", library.folder}});
      EXPECT_EQ(result.exitStatus, 0) << request.query;
      EXPECT_EQ(result.out, CgiResponse(request.body)) << request.query;
      if (request.body == invalidMac) {
        EXPECT_NE(result.err.find("cause=\"the device library cannot be loaded: "),
                  std::string::npos)
            << result.err;
        EXPECT_NE(result.err.find(library.reason), std::string::npos) << result.err;
      }
    }
  }
}

}  // namespace
