// One request, read once: the front end reads the query string and the
// environment into a Request before any command runs, and hands it down;
// nothing below the front end reads either.
#ifndef VELORANTIS_HELPER_FRONTEND_REQUEST_H_
#define VELORANTIS_HELPER_FRONTEND_REQUEST_H_

#include <cstdint>
#include <optional>
#include <string>

#include "helper/frontend/request_keys.h"
#include "helper/frontend/roles.h"
#include "helper/frontend/server_settings.h"
#include "shared/status.h"

// Who made the request, as the web server says, and what the roles file
// lets them do.
struct Caller {
  std::string user;     // REMOTE_USER; empty without a login
  std::string address;  // REMOTE_ADDR; empty when the server gave none
  Access access;
};

struct Request {
  KeyValues keys;
  Caller caller;
  ServerSettings server;
  RequestHeaders headers;
};

// This process's request: the keys of query_map (filled by InitGetVar), the
// caller, the server's settings and the header fields, from the
// environment; the roles file at program_paths.rolesFile.
Request ReadRequest();

// A request of `map`'s keys alone: no login, no roles file, no headers; the
// tests' way in.
Request RequestOf(const QueryMap& map);

// A caller's user and address as the ledger and the audit trail keep them:
// "-" for none.
std::string ShownUser(const Caller& caller);
std::string ShownAddress(const Caller& caller);

// Key `key`'s text, or null when the request has none.
const char* KeyText(const Request& request, Key key);

// Key `key`'s text; fails with its message when the request has none or its
// rule refuses it.
Status ReadText(const Request& request, Key key, const char*& text);

// Key `key`'s number by its rule (kLenient, kStrict): an absent key reads as
// its default where it has one, else fails with its message, as does a
// strict key's value out of its rule.
Status ReadNumber(const Request& request, Key key, uint64_t& value);

// A lenient key with a default, which always has a value and never
// refuses: NumberOf for kLenient, IntegerOf for kLenientInt.
uint64_t NumberOf(const Request& request, Key key);
int IntegerOf(const Request& request, Key key);

// A kTime key: nullopt when absent; fails with its message for a text that
// is no time.
Status ReadTime(const Request& request, Key key, std::optional<int64_t>& time);

// Whether the request names the first device ("mac=default").
bool AsksDefaultDevice(const Request& request);

#endif  // VELORANTIS_HELPER_FRONTEND_REQUEST_H_
