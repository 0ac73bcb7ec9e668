// velorantis-helper: the CGI program. The web server runs it once per request;
// it answers with one JSON document on standard output and always exits 0.
#include <cstdio>

#include "helper/command_table.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/response.h"

int main() {
  ResponseBody body;
  const bool served = ServeRequest(body);
  DiscardRequestBody();
  if (served) {
    WriteResponse(stdout, body);
  } else {
    WriteOutOfMemoryResponse(stdout);
  }
  return 0;
}
