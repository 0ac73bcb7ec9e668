// Request variables: the CGI query string decoded into a process-wide map.
#ifndef VELORANTIS_HELPER_FRONTEND_REQUEST_VARS_H_
#define VELORANTIS_HELPER_FRONTEND_REQUEST_VARS_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

// Decoded variable name -> zero-terminated copy of the decoded value. The map
// owns its keys; the value copies are never freed, so every pointer getvar()
// hands out stays valid until the process exits.
using QueryMap = std::map<std::string, char*>;

// The request's variables, filled once by InitGetVar() at start-up.
extern QueryMap query_map;

// Fills query_map from QUERY_STRING.
void InitGetVar();

// Adds the pairs of QUERY_STRING to `map`; empties `map` when the variable is
// not set.
void initializeGet(QueryMap& map);

// Adds the pairs of a form body (CONTENT_LENGTH bytes on standard input) to
// `map`; empties `map` when there is no complete body to read. CONTENT_LENGTH
// is read as gentenv_int reads a number. Start-up never calls it.
void initializePost(QueryMap& map);

// The most of a request body DiscardRequestBody reads.
inline constexpr size_t kMaxDiscardedBody = size_t{16} << 20;

// Reads the request body (CONTENT_LENGTH bytes as initializePost reads them on standard input, at
// most kMaxDiscardedBody) and drops it. The query string alone decides what a request does, but a
// web server that is still writing a body nobody reads (through a pipe or a FastCGI wrapper) can
// lose or cut the answer.
void DiscardRequestBody();

// Splits `text` at '&' into name=value pairs and stores each decoded pair in
// `map`; the last pair of a name wins. Pairs with an empty raw name are
// skipped, every '=' of a pair is dropped.
void ParsePairs(const char* text, QueryMap& map);

// Decodes '+' to a blank and "%XY" escapes to one byte. A '%' with fewer than
// two bytes after it ends the text.
std::string urlDecode(std::string text);

// The value of request variable `name`, or null when the request has none.
// A variable given without a value reads as the empty text, never null.
const char* getvar(const char* name);

// Parse a present variable as strtoull (base 10) or atoi would: leading
// white space and one sign are taken, reading stops at the first other byte,
// text without digits reads as 0. They give the same number on every target:
// the int forms saturate text beyond int's range at INT_MIN or INT_MAX, as
// the appliance's 32-bit C library does; the u64 forms saturate text beyond
// 2^64 - 1 at UINT64_MAX, a minus sign included ("-18446744073709551616"),
// and otherwise negate modulo 2^64 ("-1" is UINT64_MAX). They return -1
// (leaving `value` alone) only when the variable is absent; the _default forms
// give `fallback` then.
// The same rules for a text: LenientU64 as strtoull, LenientInt as atoi
// saturated at int's range (the appliance's 32-bit C library, where long is
// int).
uint64_t LenientU64(const char* text);
int LenientInt(const char* text);

int gentenv_u64(const char* name, uint64_t& value);
uint64_t getenv_u64_default(const char* name, uint64_t fallback);
int gentenv_int(const char* name, int& value);
int getenv_int_default(const char* name, int fallback);

#endif  // VELORANTIS_HELPER_FRONTEND_REQUEST_VARS_H_
