// Telling the user about broken lines of the devices file, once each: the
// file is re-read at every list call, and repeating the same complaint on
// every poll would drown everything else on standard error.
#ifndef VELORANTIS_SIM_MALFORMED_LINES_H_
#define VELORANTIS_SIM_MALFORMED_LINES_H_

#include <string>

#include "devices_file.h"

namespace velorantis::sim {

// Writes "velorantis-sim: PATH:LINE: REASON" to standard error unless this
// process already did so for the same path, line and reason.
void ReportMalformedLine(const std::string& path, const DevicesFileError& error);

// Lets every line be reported again.
void ForgetReportedLines();

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_MALFORMED_LINES_H_
