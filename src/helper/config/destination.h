// The capture destination: 8-bit text in requests and in the configuration
// database, a wide string in the device library's disk-dump record. Each byte
// is one wide character of the same value (0 to 255), both ways, so any byte
// sequence survives the trip whatever the locale.
#ifndef VELORANTIS_HELPER_CONFIG_DESTINATION_H_
#define VELORANTIS_HELPER_CONFIG_DESTINATION_H_

#include <cstddef>
#include <optional>
#include <string>

// The longest destination the configuration keeps, in bytes, without the
// terminating NUL. Longer ones are refused before anything is stored.
inline constexpr size_t kMaxStoredDestination = 4095;

// A newly allocated, NUL-terminated wide copy of `text` (up to its NUL), one
// wide character per byte with the byte's unsigned value. The copy is never
// freed: the records that point to it live until the process exits.
wchar_t* WidenDestination(const char* text);

// The inverse of WidenDestination: one byte per wide character, up to the
// wide NUL. nullopt when a character does not fit in a byte, which only a
// string that WidenDestination did not make can hold.
std::optional<std::string> NarrowDestination(const wchar_t* wide);

#endif  // VELORANTIS_HELPER_CONFIG_DESTINATION_H_
