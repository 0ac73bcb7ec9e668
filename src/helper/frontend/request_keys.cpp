#include "helper/frontend/request_keys.h"

#include <charconv>
#include <iterator>
#include <optional>

#include "helper/frontend/json_text.h"
#include "helper/frontend/request_time.h"

namespace {

constexpr uint64_t kNoDefault = UINT64_MAX;

struct KeyEntry {
  Key key;
  const char* name;
  KeyRule rule = KeyRule::kText;
  // The answer to a value the rule refuses, and to an absent key that a
  // command needs (a number without a default).
  Message invalid = Message::kNone;
  uint64_t fallback = kNoDefault;  // an absent number's value
  uint64_t least = 0;              // kStrict's range
  uint64_t most = INT64_MAX;
};

// In the order of Key; the check below keeps it so.
constexpr KeyEntry kKeys[] = {
    {Key::kCommand, "command"},
    {Key::kMac, "mac", KeyRule::kMac, Message::kInvalidMac},
    {Key::kOutput, "output", KeyRule::kDestination, Message::kInvalidDestination},
    {Key::kRange, "range"},
    {Key::kLoop, "loop", KeyRule::kLenient, Message::kInvalidLoop},
    {Key::kCount, "count", KeyRule::kLenient, Message::kInvalidCount},
    {Key::kSize, "size", KeyRule::kLenient, Message::kInvalidSize},
    {Key::kDuration, "duration", KeyRule::kLenient, Message::kInvalidDuration},
    {Key::kSlicing, "slicing", KeyRule::kLenient, Message::kInvalidSlicing},
    {Key::kInline, "inline", KeyRule::kLenient, Message::kInvalidInline},
    {Key::kStatusFrom, "from", KeyRule::kLenient, Message::kNone, 0},
    {Key::kStatusLimit, "limit", KeyRule::kLenientInt, Message::kNone, 1},
    {Key::kListLimit, "limit", KeyRule::kStrict, Message::kInvalidLimit, 20},
    {Key::kBefore, "before", KeyRule::kStrict, Message::kInvalidBefore, 0},
    {Key::kId, "id", KeyRule::kStrict, Message::kInvalidCaptureId, kNoDefault, 1},
    {Key::kMaxBytes, "maxbytes", KeyRule::kStrict, Message::kInvalidMaxBytes},
    {Key::kMinFree, "minfree", KeyRule::kStrict, Message::kInvalidMinFree, kNoDefault, 0, 99},
    {Key::kPinned, "pinned", KeyRule::kStrict, Message::kInvalidPinned, kNoDefault, 0, 1},
    {Key::kWindowFrom, "from", KeyRule::kTime, Message::kInvalidFromTime},
    {Key::kWindowTo, "to", KeyRule::kTime, Message::kInvalidToTime},
    {Key::kUser, "user"},
    {Key::kFilter, "filter", KeyRule::kBoundedText, Message::kFilterTooLong, kNoDefault, 0, 1024},
};

constexpr bool InKeyOrder() {
  for (size_t i = 0; i < std::size(kKeys); ++i) {
    if (static_cast<size_t>(kKeys[i].key) != i) return false;
  }
  return true;
}
static_assert(InKeyOrder() && std::size(kKeys) == kKeyCount,
              "kKeys must list every Key in its order");

bool ReadStrict(const KeyEntry& entry, const std::string& text, uint64_t& value) {
  const char* end = text.data() + text.size();
  uint64_t number = 0;
  // from_chars takes no sign, blank or "+" for an unsigned number.
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc() || stop != end || number < entry.least || number > entry.most) {
    return false;
  }
  value = number;
  return true;
}

// The value of a present key by its entry's rule.
void ReadPresent(const KeyEntry& entry, KeyValue& value) {
  const std::string& text = value.text;
  switch (entry.rule) {
    case KeyRule::kText:
    case KeyRule::kMac:
      break;
    case KeyRule::kBoundedText:
      if (text.size() > entry.most) value.refusal = entry.invalid;
      break;
    case KeyRule::kDestination:
      if (!IsValidUtf8(text.c_str())) value.refusal = entry.invalid;
      break;
    case KeyRule::kLenient:
      value.number = LenientU64(text.c_str());
      break;
    case KeyRule::kLenientInt:
      value.integer = LenientInt(text.c_str());
      break;
    case KeyRule::kStrict:
      if (!ReadStrict(entry, text, value.number)) value.refusal = entry.invalid;
      break;
    case KeyRule::kTime: {
      const std::optional<int64_t> time = ParseRequestTime(text);
      if (time) {
        value.time = *time;
      } else {
        value.refusal = entry.invalid;
      }
      break;
    }
  }
}

}  // namespace

KeyValues ReadKeys(const QueryMap& map) {
  KeyValues values;
  for (const KeyEntry& entry : kKeys) {
    KeyValue& value = values[static_cast<size_t>(entry.key)];
    const auto found = map.find(entry.name);
    if (found != map.end()) {
      value.present = true;
      value.text = found->second;
      ReadPresent(entry, value);
    } else if (entry.rule == KeyRule::kLenientInt) {
      value.integer = static_cast<int>(entry.fallback);
    } else if (entry.fallback != kNoDefault) {
      value.number = entry.fallback;
    } else if (entry.rule == KeyRule::kLenient || entry.rule == KeyRule::kStrict) {
      value.refusal = entry.invalid;
    }
  }
  return values;
}

Message RefusalOf(Key key) { return kKeys[static_cast<size_t>(key)].invalid; }
