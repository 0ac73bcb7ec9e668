#include "support/run_program.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <sstream>

extern char** environ;

namespace {

// The emulator prefix a cross build runs its programs with, then the words of
// VELORANTIS_TEST_WRAPPER (such as a valgrind command line) when it is set.
std::vector<std::string> EmulatorPrefix() {
  std::vector<std::string> words;
  const char* wrapper = getenv("VELORANTIS_TEST_WRAPPER");
  std::istringstream in(std::string(VELORANTIS_TEST_EMULATOR) + " " + (wrapper ? wrapper : ""));
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::vector<std::string> ChangedEnvironment(const std::vector<EnvChange>& changes) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    bool replaced = false;
    for (const auto& change : changes) {
      if (text.compare(0, change.first.size() + 1, change.first + "=") == 0) replaced = true;
    }
    if (!replaced) entries.push_back(text);
  }
  for (const auto& [name, value] : changes) {
    if (value) entries.push_back(name + "=" + *value);
  }
  return entries;
}

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Collects both output pipes until the child closes them, while feeding it
// `input`, so a child that writes much never blocks on a full pipe.
void Pump(int inFd, const std::string& input, int outFd, int errFd, ProgramResult& result) {
  size_t written = 0;
  if (input.empty()) {
    close(inFd);
    inFd = -1;
  }
  while (outFd >= 0 || errFd >= 0) {
    pollfd fds[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {inFd, POLLOUT, 0}};
    if (poll(fds, 3, -1) < 0) break;
    char buffer[65536];
    int* readFds[2] = {&outFd, &errFd};
    std::string* sinks[2] = {&result.out, &result.err};
    for (int k = 0; k < 2; ++k) {
      if (*readFds[k] < 0 || fds[k].revents == 0) continue;
      ssize_t n = read(*readFds[k], buffer, sizeof buffer);
      if (n > 0) {
        sinks[k]->append(buffer, static_cast<size_t>(n));
      } else {
        close(*readFds[k]);
        *readFds[k] = -1;
      }
    }
    if (inFd >= 0 && fds[2].revents != 0) {
      ssize_t n = write(inFd, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n <= 0 || written == input.size()) {
        close(inFd);
        inFd = -1;
      }
    }
  }
  if (inFd >= 0) close(inFd);
}

// Starts `args` as given, its address space limited when `addressSpace` is
// not 0, and waits for it.
ProgramResult Spawn(std::vector<std::string> args, const std::vector<EnvChange>& env,
                    const std::string& input, size_t addressSpace) {
  std::vector<std::string> environment = ChangedEnvironment(env);
  std::vector<char*> argPointers = PointersTo(args);
  std::vector<char*> envPointers = PointersTo(environment);

  // A child that exits without reading its input must not kill the test.
  signal(SIGPIPE, SIG_IGN);
  int inPipe[2], outPipe[2], errPipe[2];
  ProgramResult result;
  if (pipe2(inPipe, O_CLOEXEC) != 0 || pipe2(outPipe, O_CLOEXEC) != 0 ||
      pipe2(errPipe, O_CLOEXEC) != 0) {
    return result;
  }
  pid_t pid = fork();
  if (pid == 0) {
    dup2(inPipe[0], 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    const rlimit limit{addressSpace, addressSpace};
    if (addressSpace != 0 && setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
    execvpe(argPointers[0], argPointers.data(), envPointers.data());
    _exit(127);
  }
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  Pump(inPipe[1], input, outPipe[0], errPipe[0], result);
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    result.exitStatus = WEXITSTATUS(status);
  }
  return result;
}

}  // namespace

bool UnderEmulator() { return !EmulatorPrefix().empty(); }

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::vector<EnvChange>& env,
                         const std::string& input, size_t addressSpace) {
  std::vector<std::string> args = EmulatorPrefix();
  args.insert(args.end(), argv.begin(), argv.end());
  return Spawn(std::move(args), env, input, addressSpace);
}

ProgramResult RunHostProgram(const std::vector<std::string>& argv,
                             const std::vector<EnvChange>& env, const std::string& input) {
  return Spawn(argv, env, input, 0);
}

std::string StagedPath(const std::string& name, const std::string& original) {
  const char* stage = getenv("VELORANTIS_TEST_STAGE");
  return stage != nullptr && *stage != '\0' ? std::string(stage) + "/" + name : original;
}

namespace {

// With VELORANTIS_ANSWER_LOG set, every JSON answer goes to that file as one
// line, {"query": ..., "body": ...}, for the check against its schema.
void LogJsonAnswer(const std::optional<std::string>& query, const std::string& out) {
  const char* log = getenv("VELORANTIS_ANSWER_LOG");
  const size_t header = out.find("Content-type: application/json\n");
  const size_t body = out.find("\n\n");
  if (log == nullptr || header == std::string::npos || body == std::string::npos) return;
  const std::string line =
      nlohmann::json{{"query", query.value_or("")}, {"body", out.substr(body + 2)}}.dump() + "\n";
  const int fd = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  // One write a line: tests that run side by side never mix their lines.
  EXPECT_EQ(write(fd, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  close(fd);
}

}  // namespace

ProgramResult RunHelper(const std::optional<std::string>& query, std::vector<EnvChange> env) {
  env.emplace_back("QUERY_STRING", query);
  ProgramResult result = RunProgram({StagedPath("velorantis-helper", VELORANTIS_HELPER_PATH)}, env);
  LogJsonAnswer(query, result.out);
  return result;
}

std::string HelperOutput(const std::string& query) {
  const ProgramResult result = RunHelper(query);
  EXPECT_EQ(result.exitStatus, 0) << query << "\n" << result.err;
  const size_t body = result.out.find('{');
  EXPECT_TRUE(body != std::string::npos && nlohmann::json::accept(result.out.substr(body)))
      << result.out;
  return result.out;
}

std::string CgiResponse(const std::string& body) {
  return "Content-type: application/json\n\n{\"root\": {\n" + body + "}}\n";
}
