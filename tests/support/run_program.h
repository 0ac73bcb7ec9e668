// Starting the built programs from tests, through the emulator prefix of a
// cross build (qemu-user) where there is one, and through the command line in
// the environment variable VELORANTIS_TEST_WRAPPER (e.g. valgrind) when set.
#ifndef VELORANTIS_TESTS_SUPPORT_RUN_PROGRAM_H_
#define VELORANTIS_TESTS_SUPPORT_RUN_PROGRAM_H_

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct ProgramResult {
  std::string out;      // everything written on standard output
  std::string err;      // everything written on standard error
  int exitStatus = -1;  // -1 when the program did not exit normally
};

// An environment change: set the variable to the value, or unset it (nullopt).
using EnvChange = std::pair<std::string, std::optional<std::string>>;

// Runs `argv` (argv[0] a path) with this process's environment changed by
// `env`, feeding `input` on standard input, and waits for it. A non-zero
// `addressSpace` limits the program's address space (RLIMIT_AS) to that many
// bytes.
ProgramResult RunProgram(const std::vector<std::string>& argv, const std::vector<EnvChange>& env,
                         const std::string& input = "", size_t addressSpace = 0);

// Whether programs run through an emulator (a cross build under qemu-user)
// or a wrapper.
bool UnderEmulator();

// RunProgram for a program of this machine (lighttpd, curl, capinfos), which
// a cross build runs without the emulator; argv[0] is looked up in PATH.
ProgramResult RunHostProgram(const std::vector<std::string>& argv,
                             const std::vector<EnvChange>& env, const std::string& input = "");

// The path of a built program or of a folder of the source tree (`name`:
// "velorantis-helper", "velorantis-statusd-sim", "scripts", "schema"):
// `original`, unless VELORANTIS_TEST_STAGE names a folder of copies (the
// servers suite's, which the web servers' account can reach).
std::string StagedPath(const std::string& name, const std::string& original);

// Runs velorantis-helper as the web server would: QUERY_STRING set to `query`
// (unset for nullopt), the simulated devices of VELORANTIS_SIM_DIR as this
// process has it, and `env`.
ProgramResult RunHelper(const std::optional<std::string>& query, std::vector<EnvChange> env = {});

// RunHelper, expecting exit status 0 and a JSON document after the header;
// the whole standard output.
std::string HelperOutput(const std::string& query);

// The header and envelope the helper wraps around `body`: its whole output.
std::string CgiResponse(const std::string& body);

#endif  // VELORANTIS_TESTS_SUPPORT_RUN_PROGRAM_H_
