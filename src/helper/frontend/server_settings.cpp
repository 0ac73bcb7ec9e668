#include "helper/frontend/server_settings.h"

#include <cstdlib>
#include <cstring>

void ReadServerSettings() {
  const char* origin = getenv("VELORANTIS_ORIGIN_CHECK");
  const char* sendfile = getenv("VELORANTIS_X_SENDFILE");
  server_settings.strictOrigin = origin != nullptr && *origin != '\0';
  server_settings.sendsFiles = sendfile != nullptr && strcmp(sendfile, "1") == 0;
}

RequestHeaders ReadRequestHeaders() {
  return {getenv("REQUEST_METHOD"), getenv("HTTP_RANGE"), getenv("HTTP_IF_RANGE")};
}
