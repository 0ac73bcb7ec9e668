// A web server serving the built request program for one test, started by
// scripts/serve.sh as the demo's is, on a free loopback port.
#ifndef VELORANTIS_TESTS_HTTP_WEB_SERVER_H_
#define VELORANTIS_TESTS_HTTP_WEB_SERVER_H_

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

// A loopback port the kernel has just given out as free, for now.
int FreeLoopbackPort();

class WebServer {
 public:
  // Starts `server` (lighttpd, apache, nginx or busybox, as serve.sh names
  // them) with `options` of its configuration script added, and waits until
  // it accepts connections; fails the test when it cannot. lighttpd's
  // --lenient, the default, lets hostile bytes reach the program. The
  // program is given VELORANTIS_SIM_DIR and the sanitizers' option variables
  // as this process has them now.
  explicit WebServer(const std::string& server = "lighttpd",
                     const std::vector<std::string>& options = {"--lenient"});
  // Stops the server and waits until it and every process it started (its
  // process group) have gone.
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // The program's URL with `query` as its query string, bytes as given.
  std::string Url(const std::string& query) const;
  // Everything the program wrote on standard error so far (lighttpd only).
  std::string CgiStderr() const;

 private:
  bool Start(const std::string& server, const std::vector<std::string>& options, int port);

  TempDir dir_;
  int port_ = 0;
  pid_t pid_ = -1;
};

#endif  // VELORANTIS_TESTS_HTTP_WEB_SERVER_H_
