// Fuzz target: the query-string decoder and the request-variable getters,
// checked against a reference decoder written from the decoding rules. The
// input is the query string; a failed check aborts.
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "helper/frontend/request_vars.h"

namespace {

void Check(bool holds) {
  if (!holds) abort();
}

// "+" is a blank; "%" and the two bytes after it are one byte, the number
// strtol reads from "0x" followed by those two bytes; a "%" with fewer than
// two bytes after it ends the text.
std::string ReferenceDecode(const std::string& text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      decoded += ' ';
    } else if (text[i] != '%') {
      decoded += text[i];
    } else if (i + 2 >= text.size()) {
      break;
    } else {
      const char hex[] = {'0', 'x', text[i + 1], text[i + 2], '\0'};
      decoded += static_cast<char>(strtol(hex, nullptr, 0));
      i += 2;
    }
  }
  return decoded;
}

// Pairs split at "&"; the name runs to the first "=", the value is the rest
// without any "="; pairs with an empty raw name are left out, the last pair
// of a name wins, and a value is C text: it ends at its first zero byte.
std::map<std::string, std::string> ReferenceParse(const std::string& query) {
  std::map<std::string, std::string> vars;
  for (size_t start = 0; start <= query.size();) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    const std::string pair = query.substr(start, end - start);
    const size_t equals = pair.find('=');
    std::string value = equals == std::string::npos ? "" : pair.substr(equals + 1);
    std::erase(value, '=');
    const std::string name = pair.substr(0, equals);
    if (!name.empty()) vars[ReferenceDecode(name)] = ReferenceDecode(value).c_str();
    start = end + 1;
  }
  return vars;
}

// The getters on a present variable: its text, strtoull's number, and
// atoi's wherever atoi's is defined (the int range).
void CheckGetters(const std::string& name, const std::string& value) {
  Check(strcmp(getvar(name.c_str()), value.c_str()) == 0);
  uint64_t u64 = 7;
  Check(gentenv_u64(name.c_str(), u64) == 0 && u64 == strtoull(value.c_str(), nullptr, 10));
  Check(getenv_u64_default(name.c_str(), 7) == u64);
  errno = 0;
  const long long wide = strtoll(value.c_str(), nullptr, 10);
  if (errno == 0 && wide >= INT_MIN && wide <= INT_MAX) {
    int number = 7;
    Check(gentenv_int(name.c_str(), number) == 0 && number == wide);
    Check(getenv_int_default(name.c_str(), 7) == wide);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  Check(urlDecode(input) == ReferenceDecode(input));

  const std::string query = input.c_str();  // the environment holds C text
  const std::map<std::string, std::string> expected = ReferenceParse(query);
  query_map.clear();
  ParsePairs(query.c_str(), query_map);
  Check(query_map.size() == expected.size());
  for (const auto& [name, value] : expected) {
    const auto stored = query_map.find(name);
    Check(stored != query_map.end() && stored->second == value);
    // A name holding a zero byte cannot be looked up by its C text.
    if (name.find('\0') == std::string::npos) CheckGetters(name, value);
  }
  if (!expected.contains("")) {
    uint64_t untouched = 7;
    Check(getvar("") == nullptr && gentenv_u64("", untouched) == -1 && untouched == 7);
    Check(getenv_int_default("", 7) == 7);
  }

  // The program keeps its value copies until it exits; a long fuzzing run
  // frees them.
  for (auto& entry : query_map) free(entry.second);
  query_map.clear();
  return 0;
}
