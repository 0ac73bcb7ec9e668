// The stored capture configuration, shown and changed from the web interface.
#ifndef VELORANTIS_HELPER_CONFIG_CONFIG_COMMANDS_H_
#define VELORANTIS_HELPER_CONFIG_CONFIG_COMMANDS_H_

#include <string>

// "getconfig" and "setconfig" against the configuration database at the
// path chosen at build time. Both return 0; the result node tells the outcome.
int OutputConfig(std::string& out);
int SetConfig(std::string& out);

#endif  // VELORANTIS_HELPER_CONFIG_CONFIG_COMMANDS_H_
