// The stored capture configuration, shown and changed from the web interface.
#ifndef VELORANTIS_HELPER_CONFIG_CONFIG_COMMANDS_H_
#define VELORANTIS_HELPER_CONFIG_CONFIG_COMMANDS_H_

#include <string>

#include "helper/frontend/response.h"

// "getconfig" and "setconfig" against the configuration database at the
// path chosen at build time. Both return 0; the result node tells the outcome.
int OutputConfig(ResponseBody& body);
int SetConfig(ResponseBody& body);

// "getconfig" against the configuration database at `configDb`: the "config"
// node (ending in "},\n"), then the result node. Needs "mac" (any value;
// there is one configuration for all devices), never reaches a device. On
// failure only the result node: -1 "Invalid MAC address" or -1 "Cannot load
// configuration from database". Returns 0.
int OutputConfig(std::string& out, const char* configDb);

// "setconfig" against the configuration database at `configDb`, under the
// device lock at `lockFile` from the store to the features: looks up the
// device "mac" names before reading any other variable ("default" with no
// device attached goes on without one), stores "output", "loop", "count",
// "size", "duration", "inline" and "slicing", then gives the device its
// inline and slicing features. Writes only the result node: -1 with the
// first failure's message ("Invalid MAC address", "Invalid destination
// value" also for an "output" longer than kMaxStoredDestination bytes, "Invalid
// ... value" for the first absent number, "Failed to save configuration in
// database", "Failed to set device features", which leaves the stored
// configuration stored, or the lock's own message). Returns 0.
int SetConfig(std::string& out, const char* configDb, const char* lockFile);

#endif  // VELORANTIS_HELPER_CONFIG_CONFIG_COMMANDS_H_
