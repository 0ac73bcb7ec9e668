// The capture settings as start and setconfig requests carry them, and the
// device library's two configuration records filled from them: the numbers,
// the destination text and the fixed content every writer puts in.
#ifndef VELORANTIS_HELPER_RECORDS_CAPTURE_RECORDS_H_
#define VELORANTIS_HELPER_RECORDS_CAPTURE_RECORDS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "VelorantisAPI.h"

// ---- The numbers a request gives.

// As the request gives them (gentenv_u64: text without digits reads as 0);
// nothing is range-checked here.
struct RequestSettings {
  uint64_t loop = 0;
  uint64_t count = 0;
  uint64_t size = 0;  // MiB
  uint64_t duration = 0;
  uint64_t slicing = 0;
  uint64_t inlineMode = 0;
};

// Reads "loop", "count", "size" and "duration", in this order. Returns null
// when all are present, else the message of the first absent one ("Invalid
// loop value", ...); the fields from that one on are left alone.
const char* ReadDiskDumpSettings(RequestSettings& settings);

// Reads "slicing" and then "inline" the same way ("Invalid slicing value",
// "Invalid inline value").
const char* ReadFeatureSettings(RequestSettings& settings);

// Reads "output", the capture directory. Returns null when it is present and
// valid UTF-8 (an empty one included), else "Invalid destination value". Any
// other bytes are refused rather than kept: a client that decodes the JSON
// answer and sends the text back sends UTF-8, so a stored byte above 127
// would silently become another path.
const char* ReadOutput(const char*& output);

// ---- The destination: 8-bit text in requests and in the configuration
// database, a wide string in the disk-dump record. Each byte is one wide
// character of the same value (0 to 255), both ways, so any byte sequence
// survives the trip whatever the locale.

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

// ---- Filling the records.

// Words 0 and 4 to 1, the other unnamed words (8, 12, 24 to 44, the half-word
// at 48, 52, 56, 60) to 0. Leaves the slicing and inline fields and the two
// padding gaps as they were.
void SetFixedFeatureWords(VelorantisAPIDeviceFeatures& features);

// Slicing from a configured number: flag 1 and the number's low 16 bits as
// the value when it is non-zero, both 0 when it is 0.
void SetSlicing(VelorantisAPIDeviceFeatures& features, uint64_t slicing);

// reserved1 to 0 and ramSize to half of GetAvailableRAMSize(). Leaves
// reserved0 as it was.
void SetFixedDiskDumpFields(VelorantisAPIDiskDumpConfig& config);

// loop (1 when non-zero), count and duration (their low 32 bits) and size
// (MiB shifted left by 20, modulo 2^64) from the request's numbers.
void SetDiskDumpNumbers(VelorantisAPIDiskDumpConfig& config, const RequestSettings& settings);

#endif  // VELORANTIS_HELPER_RECORDS_CAPTURE_RECORDS_H_
