#include "helper/frontend/request_vars.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "helper/frontend/memory_budget.h"

QueryMap query_map;

namespace {

// Value of one hexadecimal digit, or -1.
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The two bytes after a '%' read as "0x" followed by them would be by strtol:
// the leading run of hex digits counts, the rest is ignored ("4g" is 4, "zz"
// is 0).
unsigned char DecodeEscape(char high, char low) {
  int value = HexDigit(high);
  if (value < 0) return 0;
  int second = HexDigit(low);
  if (second >= 0) value = value * 16 + second;
  return static_cast<unsigned char>(value);
}

// The request body's length: CONTENT_LENGTH read as atoi reads it, 0 when
// absent or not above 0.
size_t BodyLength() {
  const char* text = getenv("CONTENT_LENGTH");
  return text != nullptr ? static_cast<size_t>(std::max(LenientInt(text), 0)) : 0;
}

void StorePair(const std::string& rawName, const std::string& rawValue, QueryMap& map) {
  // The copy is deliberately never freed: getvar() pointers live until exit,
  // also when a later pair of the same name replaces this one.
  char* value = strdup(urlDecode(rawValue).c_str());
  // A variable must never read as absent because its copy failed.
  if (value == nullptr) ThrowOutOfMemory();
  map[urlDecode(rawName)] = value;
}

}  // namespace

// atoi itself wraps out-of-range text by the width of long ("4294967297" is
// 1 where long has 64 bits); long long has 64 bits on every target.
int LenientInt(const char* text) {
  const long long value = strtoll(text, nullptr, 10);
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

uint64_t LenientU64(const char* text) { return strtoull(text, nullptr, 10); }

std::string urlDecode(std::string text) {
  std::string decoded;
  decoded.reserve(text.size());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    if (text[i] == '%') {
      if (i + 2 >= n) break;
      decoded.push_back(static_cast<char>(DecodeEscape(text[i + 1], text[i + 2])));
      i += 3;
    } else {
      decoded.push_back(text[i] == '+' ? ' ' : text[i]);
      ++i;
    }
  }
  return decoded;
}

void ParsePairs(const char* text, QueryMap& map) {
  std::string name;
  std::string value;
  std::string* target = &name;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '&') {
      if (!name.empty()) StorePair(name, value, map);
      name.clear();
      value.clear();
      target = &name;
    } else if (*p == '=') {
      target = &value;
    } else {
      target->push_back(*p);
    }
  }
  if (!name.empty()) StorePair(name, value, map);
}

void initializeGet(QueryMap& map) {
  const char* query = getenv("QUERY_STRING");
  if (query == nullptr) {
    map.clear();
    return;
  }
  ParsePairs(query, map);
}

void initializePost(QueryMap& map) {
  const size_t length = BodyLength();
  if (length == 0) {
    map.clear();
    return;
  }
  // Kept until exit, like the value copies.
  char* body = static_cast<char*>(malloc(length + 1));
  if (body == nullptr) {
    map.clear();
    return;
  }
  if (fread(body, 1, length, stdin) != length) {
    map.clear();
    return;
  }
  body[length] = '\0';
  ParsePairs(body, map);
}

void InitGetVar() { initializeGet(query_map); }

void DiscardRequestBody() {
  size_t left = std::min(BodyLength(), kMaxDiscardedBody);
  char chunk[4096];
  while (left > 0) {
    const size_t got = fread(chunk, 1, std::min(left, sizeof chunk), stdin);
    if (got == 0) return;  // the end of the body, or an error: nothing more to wait for
    left -= got;
  }
}

const char* getvar(const char* name) {
  auto it = query_map.find(name);
  return it == query_map.end() ? nullptr : it->second;
}

int gentenv_u64(const char* name, uint64_t& value) {
  const char* text = getvar(name);
  if (text == nullptr) return -1;
  value = LenientU64(text);
  return 0;
}

uint64_t getenv_u64_default(const char* name, uint64_t fallback) {
  uint64_t value = 0;
  return gentenv_u64(name, value) == 0 ? value : fallback;
}

int gentenv_int(const char* name, int& value) {
  const char* text = getvar(name);
  if (text == nullptr) return -1;
  value = LenientInt(text);
  return 0;
}

int getenv_int_default(const char* name, int fallback) {
  int value = 0;
  return gentenv_int(name, value) == 0 ? value : fallback;
}
