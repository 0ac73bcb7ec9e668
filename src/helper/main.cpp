// velorantis-helper: the CGI program. The web server runs it once per request;
// it answers with one JSON document on standard output and always exits 0.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "helper/command_table.h"
#include "helper/frontend/request_vars.h"
#include "helper/frontend/response.h"

// Temporary: reads and drops a request body of up to CONTENT_LENGTH bytes,
// which servers that write it before reading the answer need taken.
static void DrainRequestBody() {
  const char* length = getenv("CONTENT_LENGTH");
  long long left = length != nullptr ? atoll(length) : 0;
  char buffer[4096];
  while (left > 0) {
    const size_t got = fread(buffer, 1, left < 4096 ? static_cast<size_t>(left) : 4096, stdin);
    if (got == 0) break;
    left -= static_cast<long long>(got);
  }
}

int main() {
  DrainRequestBody();
  ResponseBody body;
  InitGetVar();
  DispatchCommand(body);
  WriteResponse(stdout, body);
  return 0;
}
