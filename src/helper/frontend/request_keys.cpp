#include "helper/frontend/request_keys.h"

#include <charconv>
#include <cstring>
#include <iterator>

#include "helper/frontend/request_vars.h"

namespace {

constexpr uint64_t kNoDefault = UINT64_MAX;

struct KeyEntry {
  Key key;
  const char* name;
  KeyRule rule = KeyRule::kText;
  // The answer to an absent key without a default and to a value the rule
  // refuses.
  Message invalid = Message::kNone;
  uint64_t fallback = kNoDefault;  // an absent key's value
  uint64_t least = 0;              // kStrict's range
  uint64_t most = INT64_MAX;
};

// In the order of Key; the check below keeps it so.
constexpr KeyEntry kKeys[] = {
    {Key::kCommand, "command"},
    {Key::kMac, "mac"},
    {Key::kOutput, "output"},
    {Key::kRange, "range"},
    {Key::kLoop, "loop", KeyRule::kLenient, Message::kInvalidLoop},
    {Key::kCount, "count", KeyRule::kLenient, Message::kInvalidCount},
    {Key::kSize, "size", KeyRule::kLenient, Message::kInvalidSize},
    {Key::kDuration, "duration", KeyRule::kLenient, Message::kInvalidDuration},
    {Key::kSlicing, "slicing", KeyRule::kLenient, Message::kInvalidSlicing},
    {Key::kInline, "inline", KeyRule::kLenient, Message::kInvalidInline},
    {Key::kFrom, "from", KeyRule::kLenient, Message::kNone, 0},
    {Key::kStatusLimit, "limit", KeyRule::kLenientInt, Message::kNone, 1},
    {Key::kListLimit, "limit", KeyRule::kStrict, Message::kInvalidLimit, 20},
    {Key::kBefore, "before", KeyRule::kStrict, Message::kInvalidBefore, 0},
    {Key::kId, "id", KeyRule::kStrict, Message::kInvalidCaptureId, kNoDefault, 1},
    {Key::kMaxBytes, "maxbytes", KeyRule::kStrict, Message::kInvalidMaxBytes},
    {Key::kMinFree, "minfree", KeyRule::kStrict, Message::kInvalidMinFree, kNoDefault, 0, 99},
    {Key::kPinned, "pinned", KeyRule::kStrict, Message::kInvalidPinned, kNoDefault, 0, 1},
    {Key::kTo, "to"},
    {Key::kUser, "user"},
};

constexpr bool InKeyOrder() {
  for (size_t i = 0; i < std::size(kKeys); ++i) {
    if (static_cast<size_t>(kKeys[i].key) != i) return false;
  }
  return true;
}
static_assert(InKeyOrder() && std::size(kKeys) == static_cast<size_t>(Key::kUser) + 1,
              "kKeys must list every Key in its order");

const KeyEntry& EntryOf(Key key) { return kKeys[static_cast<size_t>(key)]; }

bool ReadStrict(const KeyEntry& entry, const char* text, uint64_t& value) {
  const char* end = text + strlen(text);
  uint64_t number = 0;
  // from_chars takes no sign, blank or "+" for an unsigned number.
  const auto [stop, error] = std::from_chars(text, end, number);
  if (error != std::errc() || stop != end || number < entry.least || number > entry.most) {
    return false;
  }
  value = number;
  return true;
}

}  // namespace

const char* KeyName(Key key) { return EntryOf(key).name; }

const char* KeyText(Key key) { return getvar(EntryOf(key).name); }

Status ReadNumber(Key key, uint64_t& value) {
  const KeyEntry& entry = EntryOf(key);
  const char* text = getvar(entry.name);
  if (text == nullptr) {
    if (entry.fallback == kNoDefault) return Failed(entry.invalid);
    value = entry.fallback;
    return {};
  }
  if (entry.rule == KeyRule::kStrict) {
    return ReadStrict(entry, text, value) ? Status{} : Failed(entry.invalid);
  }
  gentenv_u64(entry.name, value);
  return {};
}

Status ReadNumber(Key key, int& value) {
  const KeyEntry& entry = EntryOf(key);
  value = getenv_int_default(entry.name, static_cast<int>(entry.fallback));
  return {};
}
