// The status command: a device's info, capture state and statistics, read
// from the status database.
#ifndef VELORANTIS_HELPER_STATUS_STATUS_COMMAND_H_
#define VELORANTIS_HELPER_STATUS_STATUS_COMMAND_H_

#include <string>

// "status" against the status database at the path chosen at build time.
// Returns 0 on success, -1 on any failure.
int OutputStatus(std::string& out);

#endif  // VELORANTIS_HELPER_STATUS_STATUS_COMMAND_H_
