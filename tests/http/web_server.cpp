#include "http/web_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
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
// before the server binds it; the caller then tries again.
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
  for (const char* name : {"VELORANTIS_SIM_DIR", "UBSAN_OPTIONS", "LD_LIBRARY_PATH"}) {
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

int FreeLoopbackPort() { return FreePort(); }

WebServer::WebServer(const std::string& server, const std::vector<std::string>& options) {
  mkdir(dir_.File("web").c_str(), 0755);  // an empty page; Apache httpd needs the folder
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    if (Start(server, options, FreePort())) return;
  }
  ADD_FAILURE() << server << " did not start:\n"
                << ReadFile(dir_.File("output.log")) << ReadFile(dir_.File("error.log"));
}

bool WebServer::Start(const std::string& server, const std::vector<std::string>& options,
                      int port) {
  std::vector<std::string> arguments = {
      "bash",      StagedPath("scripts", VELORANTIS_SOURCE_DIR "/scripts") + "/serve.sh",
      server,      dir_.path(),
      "--port",    std::to_string(port),
      "--cgi",     StagedPath("velorantis-helper", VELORANTIS_CGI_PATH),
      "--docroot", dir_.File("web")};
  arguments.insert(arguments.end(), options.begin(), options.end());
  const std::vector<std::string> environment = EnvironmentArguments();
  arguments.insert(arguments.end(), environment.begin(), environment.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const std::string output = dir_.File("output.log");

  const pid_t pid = fork();
  if (pid == 0) {
    // Its own process group, which the CGI processes it starts share, so
    // that stopping the group leaves none of them behind.
    setsid();
    const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(fd, STDOUT_FILENO);
    dup2(fd, STDERR_FILENO);
    execvp("bash", argv.data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + kStartWait;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Accepts(port)) {
      pid_ = pid;
      port_ = port;
      return true;
    }
    if (waitpid(pid, nullptr, WNOHANG) == pid) {  // the port was taken
      kill(-pid, SIGTERM);                        // nginx's fcgiwrap
      return false;
    }
    std::this_thread::sleep_for(kPollStep);
  }
  kill(-pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return false;
}

WebServer::~WebServer() {
  if (pid_ < 0) return;
  kill(-pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  const auto deadline = std::chrono::steady_clock::now() + kStopWait;
  while (kill(-pid_, 0) == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kPollStep);
  }
}

std::string WebServer::Url(const std::string& query) const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/cgi-bin/velorantis.cgi?" + query;
}

std::string WebServer::CgiStderr() const { return ReadFile(dir_.File("cgi-stderr.log")); }
