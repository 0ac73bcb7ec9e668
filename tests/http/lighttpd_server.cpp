#include "http/lighttpd_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "support/run_program.h"

namespace {

constexpr int kStartAttempts = 5;
// Long enough for a loaded machine; a healthy start takes milliseconds.
constexpr auto kStartWait = std::chrono::seconds(30);
constexpr auto kStopWait = std::chrono::seconds(30);
constexpr auto kPollStep = std::chrono::milliseconds(10);

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A port the kernel has just given out as free. Another process may take it
// before lighttpd binds it; the caller then tries again.
int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = Loopback(port);
  const bool connected =
      connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

// The configuration script's arguments for the variables the program needs
// from this process's environment.
std::vector<std::string> EnvironmentArguments() {
  std::vector<std::string> arguments;
  for (const char* name : {"VELORANTIS_SIM_DIR", "UBSAN_OPTIONS"}) {
    if (const char* value = getenv(name)) {
      arguments.push_back("--env");
      arguments.push_back(std::string(name) + "=" + value);
    }
  }
  // The end-to-end tests check the program for leaks. Here, where hundreds
  // of requests run, the check would cost a quarter of a second each: the
  // value copies the program keeps until exit are found unreachable once its
  // map is destroyed, and symbolized to be matched against the suppressions.
  const char* asan = getenv("ASAN_OPTIONS");
  arguments.push_back("--env");
  arguments.push_back(std::string("ASAN_OPTIONS=") + (asan != nullptr ? asan : "") +
                      ":detect_leaks=0");
  return arguments;
}

}  // namespace

LighttpdServer::LighttpdServer(std::vector<std::string> options) {
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    if (Start(FreePort(), options)) return;
  }
  ADD_FAILURE() << "lighttpd did not start:\n" << ReadFile(dir_.File("error.log"));
}

bool LighttpdServer::Start(int port, const std::vector<std::string>& options) {
  std::vector<std::string> script = {"bash",      VELORANTIS_SOURCE_DIR "/scripts/lighttpd-conf.sh",
                                     "--port",    std::to_string(port),
                                     "--cgi",     VELORANTIS_CGI_PATH,
                                     "--docroot", dir_.File("web"),
                                     "--logdir",  dir_.path(),
                                     "--lenient"};
  const std::vector<std::string> environment = EnvironmentArguments();
  script.insert(script.end(), environment.begin(), environment.end());
  script.insert(script.end(), options.begin(), options.end());
  const ProgramResult config = RunHostProgram(script, {});
  if (config.exitStatus != 0) {
    ADD_FAILURE() << "lighttpd-conf.sh failed: " << config.err;
    return false;
  }
  const std::string configPath = dir_.File("lighttpd.conf");
  WriteFile(configPath, config.out);

  const pid_t pid = fork();
  if (pid == 0) {
    // Its own process group, which the CGI processes it starts share, so
    // that stopping the group leaves none of them behind.
    setsid();
    execl(VELORANTIS_LIGHTTPD_PATH, "lighttpd", "-D", "-f", configPath.c_str(), nullptr);
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + kStartWait;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Accepts(port)) {
      pid_ = pid;
      port_ = port;
      return true;
    }
    if (waitpid(pid, nullptr, WNOHANG) == pid) return false;  // the port was taken
    std::this_thread::sleep_for(kPollStep);
  }
  kill(-pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return false;
}

LighttpdServer::~LighttpdServer() {
  if (pid_ < 0) return;
  kill(-pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  const auto deadline = std::chrono::steady_clock::now() + kStopWait;
  while (kill(-pid_, 0) == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kPollStep);
  }
}

std::string LighttpdServer::Url(const std::string& query) const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/cgi-bin/velorantis.cgi?" + query;
}

std::string LighttpdServer::CgiStderr() const { return ReadFile(dir_.File("cgi-stderr.log")); }
