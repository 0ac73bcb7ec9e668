// The request's keys, each with the rule its value is read by and the
// message that refuses it, in one table. The front end reads every key the
// query string gives once (ReadKeys); the commands then take a key's value
// as the rule made it, never a name and a parse of their own.
#ifndef VELORANTIS_HELPER_FRONTEND_REQUEST_KEYS_H_
#define VELORANTIS_HELPER_FRONTEND_REQUEST_KEYS_H_

#include <array>
#include <cstdint>
#include <string>

#include "helper/frontend/request_vars.h"
#include "shared/status.h"

// Each key as one command or group of commands reads it; a name that two
// commands read by different rules ("limit", "from") is two keys.
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
  kStatusFrom,
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
  kWindowFrom,
  kWindowTo,
  // audit
  kUser,
  // a download's or an extraction's capture filter
  kFilter,
};

inline constexpr size_t kKeyCount = static_cast<size_t>(Key::kFilter) + 1;

// How a key's value is read.
enum class KeyRule : uint8_t {
  // The decoded text as it stands.
  kText,
  // A device's MAC text as the device library lists it, or "default" for
  // the first device it lists: any text, looked up later.
  kMac,
  // A capture folder: text in UTF-8, an empty one included. Any other bytes
  // are refused rather than kept: a client that decodes the JSON answer and
  // sends the text back sends UTF-8, so a stored byte above 127 would
  // silently become another path.
  kDestination,
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
  // A time: Unix seconds with up to nine digits of fraction
  // ("1796718600.25"), or RFC 3339 in UTC ("2026-12-08T10:30:00.25Z", also
  // with "+00:00").
  kTime,
  // Text of at most the key's most bytes, as it stands.
  kBoundedText,
};

// One key of one request, as its rule read it.
struct KeyValue {
  bool present = false;
  std::string text;                  // the decoded text, when present
  Message refusal = Message::kNone;  // the rule refused the text, or an absent
                                     // number has no default
  uint64_t number = 0;               // kLenient, kStrict: the value or the default
  int integer = 0;                   // kLenientInt: the value or the default
  int64_t time = 0;                  // kTime: nanoseconds since 1970
};

using KeyValues = std::array<KeyValue, kKeyCount>;

// Every key of `map` (the decoded query string) by its rule.
KeyValues ReadKeys(const QueryMap& map);

// The message that refuses key `key` where a command needs it and the
// request has none, or the rule refuses its text.
Message RefusalOf(Key key);

#endif  // VELORANTIS_HELPER_FRONTEND_REQUEST_KEYS_H_
