// The request's keys, each with the rule its value is read by, in one table:
// the commands name a key and get its value checked, never a name and a
// parse of their own.
#ifndef VELORANTIS_HELPER_FRONTEND_REQUEST_KEYS_H_
#define VELORANTIS_HELPER_FRONTEND_REQUEST_KEYS_H_

#include <cstdint>

#include "shared/status.h"

// Each key as one command or group of commands reads it; a name that two
// commands read by different rules ("limit") is two keys.
enum class Key : uint8_t {
  kCommand,
  kMac,
  kOutput,
  kRange,
  // start and setconfig
  kLoop,
  kCount,
  kSize,
  kDuration,
  kSlicing,
  kInline,
  // status
  kFrom,
  kStatusLimit,
  // captures, audit and download
  kListLimit,
  kBefore,
  kId,
  // retention, delete and pin
  kMaxBytes,
  kMinFree,
  kPinned,
  // a download's time window
  kTo,
  // audit
  kUser,
};

// How a key's value is read.
enum class KeyRule : uint8_t {
  // The decoded text as it stands.
  kText,
  // The six original commands' numbers, as strtoull (kLenient) or atoi
  // saturated at int's range (kLenientInt) read them: leading white space
  // and one sign taken, reading stops at the first other byte, text without
  // digits reads as 0; nothing is refused (gentenv_u64, gentenv_int).
  kLenient,
  kLenientInt,
  // The product's own commands' numbers: decimal digits and nothing else,
  // from the key's least to its most; anything else is refused with the
  // key's message.
  kStrict,
};

// The key's name in the query string.
const char* KeyName(Key key);

// The key's text, or null when the request has none (getvar).
const char* KeyText(Key key);

// The key's number by its rule, kLenient or kStrict. An absent key reads as
// its default where it has one, else fails with its message, as does a
// strict key's value out of its rule.
Status ReadNumber(Key key, uint64_t& value);

// The same for a kLenientInt key.
Status ReadNumber(Key key, int& value);

#endif  // VELORANTIS_HELPER_FRONTEND_REQUEST_KEYS_H_
