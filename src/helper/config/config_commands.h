// The stored capture configuration, shown and changed from the web interface.
#ifndef VELORANTIS_HELPER_CONFIG_CONFIG_COMMANDS_H_
#define VELORANTIS_HELPER_CONFIG_CONFIG_COMMANDS_H_

#include "helper/frontend/response.h"
#include "shared/paths.h"

// "getconfig" against the configuration database (program_paths.configDb):
// the "config" node (ending in "},\n"), then the result node. Needs "mac"
// (any value; there is one configuration for all devices), never reaches a
// device. On failure only the result node: -1 kInvalidMac or -1
// "Cannot load configuration from database". Returns 0.
int OutputConfig(ResponseBody& body);

// "setconfig" against the configuration database, under the change lock
// (program_paths) from the store to the features: looks up the device "mac"
// names before reading any other variable ("default" with no device attached
// goes on without one), stores "output", "loop", "count", "size",
// "duration", "inline" and "slicing", then gives the device its inline and
// slicing features. Writes only the result node: -1 with the first
// failure's message (kInvalidMac, "Invalid destination value" also
// for an "output" longer than kMaxStoredDestination bytes, "Invalid ...
// value" for the first absent number, "Failed to save configuration in
// database", "Failed to set device features", which leaves the stored
// configuration stored, or the lock's own message). Returns 0.
int SetConfig(ResponseBody& body);

#endif  // VELORANTIS_HELPER_CONFIG_CONFIG_COMMANDS_H_
