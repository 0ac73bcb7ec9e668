// Text forms of the records the back end passes by value. The same
// "key=value" text goes into calls.log and into the device's saved state, so
// what a developer reads in the log is what the device keeps.
#ifndef VELORANTIS_SIM_SETTINGS_TEXT_H_
#define VELORANTIS_SIM_SETTINGS_TEXT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "VelorantisAPI.h"

namespace velorantis::sim {

// "w0=... w4=... ... h48=... ... h64=...": every word keyed by its offset.
std::string FeaturesFields(const VelorantisAPIDeviceFeatures& features);

// "loop=... reserved1=... size=... ramSize=... count=... duration=...
// destination=PATH"; the path runs to the end of the text and is written as
// OneLine gives it.
std::string ConfigFields(const VelorantisAPIDiskDumpConfig& config);

// As ConfigFields, but with the path's bytes as they are, and without
// "destination=" when the destination is no usable path, so that a later
// start knows there is nothing to create.
std::string ConfigStateText(const VelorantisAPIDiskDumpConfig& config);

// `bytes` with each backslash and control byte (below 0x20, and 0x7f) written
// as \xHH, so that text a request chose stays on its one line of calls.log or
// of the capture marker and cannot forge another.
std::string OneLine(std::string_view bytes);

// The 8-bit path a wide destination stands for; none for a null pointer or a
// character above 255.
std::optional<std::string> DestinationPath(const wchar_t* destination);

// The value of `key` in such text. For "destination" it is the rest of the
// text; for every other key it ends at the next space.
std::optional<std::string> FieldValue(std::string_view text, std::string_view key);

// The decimal value of `key` in such text; 0 when it is absent or no number.
uint64_t NumberField(std::string_view text, std::string_view key);

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_SETTINGS_TEXT_H_
