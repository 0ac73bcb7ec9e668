// lighttpd serving the built request program for one test, configured by
// scripts/lighttpd-conf.sh as the demo is, on a free loopback port.
#ifndef VELORANTIS_TESTS_HTTP_LIGHTTPD_SERVER_H_
#define VELORANTIS_TESTS_HTTP_LIGHTTPD_SERVER_H_

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

class LighttpdServer {
 public:
  // Starts lighttpd with the lenient request parsing of the configuration
  // script (--lenient), so hostile bytes reach the program, and waits until
  // it accepts connections; fails the test when it cannot. The program is
  // given VELORANTIS_SIM_DIR and the sanitizers' option variables as this
  // process has them now. `options` go to the configuration script as well.
  explicit LighttpdServer(std::vector<std::string> options = {});
  // Stops lighttpd and waits until it and every CGI process it started (its
  // process group) have gone.
  ~LighttpdServer();
  LighttpdServer(const LighttpdServer&) = delete;
  LighttpdServer& operator=(const LighttpdServer&) = delete;

  // The program's URL with `query` as its query string, bytes as given.
  std::string Url(const std::string& query) const;
  // Everything the program wrote on standard error so far.
  std::string CgiStderr() const;

 private:
  bool Start(int port, const std::vector<std::string>& options);

  TempDir dir_;
  int port_ = 0;
  pid_t pid_ = -1;
};

#endif  // VELORANTIS_TESTS_HTTP_LIGHTTPD_SERVER_H_
