// velorantis-helper: the CGI program. The web server runs it once per request;
// it answers with one JSON document on standard output and always exits 0.
#include <cstdio>

#include "helper/command_table.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/response.h"

int main() {
  ResponseBody body;
  InitGetVar();
  DispatchCommand(body);
  WriteResponse(stdout, body);
  return 0;
}
