#include "helper/frontend/request.h"

#include <cstdlib>
#include <cstring>

#include "shared/paths.h"

namespace {

std::string EnvironmentText(const char* name) {
  const char* value = getenv(name);
  return value != nullptr ? value : "";
}

ServerSettings ServerSettingsOfEnvironment() {
  const char* origin = getenv("VELORANTIS_ORIGIN_CHECK");
  const char* sendfile = getenv("VELORANTIS_X_SENDFILE");
  return {.strictOrigin = origin != nullptr && *origin != '\0',
          .sendsFiles = sendfile != nullptr && strcmp(sendfile, "1") == 0};
}

RequestHeaders HeadersOfEnvironment() {
  return {.method = getenv("REQUEST_METHOD"),
          .range = getenv("HTTP_RANGE"),
          .ifRange = getenv("HTTP_IF_RANGE"),
          .secFetchSite = getenv("HTTP_SEC_FETCH_SITE"),
          .origin = getenv("HTTP_ORIGIN"),
          .host = getenv("HTTP_HOST"),
          .requestedWith = getenv("HTTP_X_REQUESTED_WITH")};
}

const KeyValue& ValueOf(const Request& request, Key key) {
  return request.keys[static_cast<size_t>(key)];
}

std::string OrDash(const std::string& text) { return text.empty() ? "-" : text; }

}  // namespace

Request ReadRequest() {
  Request request = RequestOf(query_map);
  request.caller.user = EnvironmentText("REMOTE_USER");
  request.caller.address = EnvironmentText("REMOTE_ADDR");
  request.caller.access = AccessFromFile(program_paths.rolesFile, request.caller.user);
  request.server = ServerSettingsOfEnvironment();
  request.headers = HeadersOfEnvironment();
  return request;
}

Request RequestOf(const QueryMap& map) {
  Request request;
  request.keys = ReadKeys(map);
  return request;
}

std::string ShownUser(const Caller& caller) { return OrDash(caller.user); }

std::string ShownAddress(const Caller& caller) { return OrDash(caller.address); }

const char* KeyText(const Request& request, Key key) {
  const KeyValue& value = ValueOf(request, key);
  return value.present ? value.text.c_str() : nullptr;
}

Status ReadText(const Request& request, Key key, const char*& text) {
  const KeyValue& value = ValueOf(request, key);
  if (!value.present) return Failed(RefusalOf(key));
  if (value.refusal != Message::kNone) return Failed(value.refusal);
  text = value.text.c_str();
  return {};
}

Status ReadNumber(const Request& request, Key key, uint64_t& number) {
  const KeyValue& value = ValueOf(request, key);
  if (value.refusal != Message::kNone) return Failed(value.refusal);
  number = value.number;
  return {};
}

uint64_t NumberOf(const Request& request, Key key) { return ValueOf(request, key).number; }

int IntegerOf(const Request& request, Key key) { return ValueOf(request, key).integer; }

Status ReadTime(const Request& request, Key key, std::optional<int64_t>& time) {
  const KeyValue& value = ValueOf(request, key);
  if (!value.present) return {};
  if (value.refusal != Message::kNone) return Failed(value.refusal);
  time = value.time;
  return {};
}

bool AsksDefaultDevice(const Request& request) {
  const char* mac = KeyText(request, Key::kMac);
  return mac != nullptr && strcmp(mac, "default") == 0;
}
