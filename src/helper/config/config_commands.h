// The stored capture configuration, shown and changed from the web interface.
#ifndef VELORANTIS_HELPER_CONFIG_CONFIG_COMMANDS_H_
#define VELORANTIS_HELPER_CONFIG_CONFIG_COMMANDS_H_

#include "helper/frontend/request.h"
#include "helper/frontend/response.h"
#include "shared/paths.h"

// "getconfig" against the configuration database (program_paths.configDb):
// the "config" node (ending in "},\n"), the result node after it. Needs
// "mac" (any value; there is one configuration for all devices), never
// reaches a device. Fails with kInvalidMac or kCannotLoadConfig.
Status OutputConfig(const Request& request, ResponseBody& body);

// "setconfig" against the configuration database, under the change lock
// (program_paths) from the store to the features: looks up the device "mac"
// names before reading any other variable ("default" with no device attached
// goes on without one), stores "output", "loop", "count", "size",
// "duration", "inline" and "slicing", then gives the device its inline and
// slicing features. Writes no node; fails with the first failure's message
// (kInvalidMac, kInvalidDestination also for an "output" longer than
// kMaxStoredDestination bytes, kInvalidLoop and the like for the first
// absent number, kCannotSaveConfig, kFailedSetFeatures, which leaves the
// stored configuration stored, or the lock's own).
Status SetConfig(const Request& request, ResponseBody& body);

#endif  // VELORANTIS_HELPER_CONFIG_CONFIG_COMMANDS_H_
