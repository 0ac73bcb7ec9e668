// The capture settings as start and setconfig requests carry them, and the
// device library's two configuration records filled from them: the numbers,
// the destination text and the fixed content every writer puts in.
#ifndef VELORANTIS_HELPER_CAPTURE_SETTINGS_CAPTURE_SETTINGS_H_
#define VELORANTIS_HELPER_CAPTURE_SETTINGS_CAPTURE_SETTINGS_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "VelorantisAPI.h"
#include "helper/frontend/request.h"
#include "shared/status.h"

// ---- The capture settings, whichever way they come: from a request, from
// the stored row or from the device's records. Each source converts into
// this record and each destination from it, so every conversion is written
// once.

struct CaptureSettings {
  std::string destination;  // 8-bit text, as requests and the row carry it
  bool loop = false;
  uint32_t count = 0;
  uint64_t size = 0;  // bytes
  uint32_t duration = 0;
  bool inlineMode = false;
  bool slicing = false;
  uint16_t sliceBytes = 0;  // kept as given, also while slicing is off
};

// The numbers as a request or the row gives them: a flag is on when it is
// non-zero, count and duration keep their low 32 bits, slicing is on when it
// is non-zero and keeps its low 16 bits.
void SetDiskDumpNumbers(CaptureSettings& settings, uint64_t loop, uint64_t count, uint64_t size,
                        uint64_t duration);
void SetFeatureNumbers(CaptureSettings& settings, uint64_t inlineMode, uint64_t slicing);

// Reads "loop", "count", "size" (MiB, shifted left by 20 modulo 2^64) and
// "duration", in this order (leniently: text without digits reads as 0;
// nothing is range-checked). Fails with the message of the first absent one
// (kInvalidLoop, ...), and then leaves `settings` alone.
Status ReadDiskDumpSettings(const Request& request, CaptureSettings& settings);

// Reads "slicing" and then "inline" the same way (kInvalidSlicing,
// kInvalidInline).
Status ReadFeatureSettings(const Request& request, CaptureSettings& settings);

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

// ---- The device's records.

// Both records from the settings: the destination widened (WidenDestination),
// the flags as 1 or 0, the fixed feature words (words 0 and 4 to 1, the other
// unnamed words, 8, 12, 24 to 44, the half-word at 48, 52, 56, 60, to 0),
// reserved1 to 0 and ramSize to half of GetAvailableRAMSize(). Leaves
// reserved0 and the two padding gaps as they were.
void FillRecords(const CaptureSettings& settings, VelorantisAPIDeviceFeatures& features,
                 VelorantisAPIDiskDumpConfig& config);

// The settings the records hold: a flag is on only when it is 1. nullopt
// when the destination is null or holds a character that is no byte.
std::optional<CaptureSettings> SettingsOf(const VelorantisAPIDeviceFeatures& features,
                                          const VelorantisAPIDiskDumpConfig& config);

#endif  // VELORANTIS_HELPER_CAPTURE_SETTINGS_CAPTURE_SETTINGS_H_
