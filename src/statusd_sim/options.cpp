#include "options.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "shared/paths.h"

namespace {

constexpr char kUsage[] =
    "usage: velorantis-statusd-sim [--db PATH] [--interval SECONDS] [--once]\n";

bool Refuse(const char* reason, const char* argument) {
  std::fprintf(stderr, "velorantis-statusd-sim: %s: %s\n%s", reason, argument, kUsage);
  return false;
}

bool ParseSeconds(const char* text, unsigned& seconds) {
  const char* end = text + strlen(text);
  auto [stop, error] = std::from_chars(text, end, seconds);
  return error == std::errc() && stop == end && stop != text;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& options) {
  options.db = kStatusDatabasePath;
  for (int i = 1; i < argc; ++i) {
    const char* option = argv[i];
    if (strcmp(option, "--once") == 0) {
      options.once = true;
      continue;
    }
    const bool takesValue = strcmp(option, "--db") == 0 || strcmp(option, "--interval") == 0;
    if (!takesValue) return Refuse("unknown option", option);
    if (i + 1 == argc) return Refuse("missing value for", option);
    const char* value = argv[++i];
    if (strcmp(option, "--db") == 0) {
      options.db = value;
    } else if (!ParseSeconds(value, options.interval)) {
      return Refuse("not a number of seconds", value);
    }
  }
  return true;
}
