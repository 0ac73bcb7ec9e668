#include "velorantis_sim.h"

#include "device_list.h"
#include "export.h"
#include "malformed_lines.h"

extern "C" VELORANTIS_SIM_EXPORT void VelorantisSimReset(void) {
  velorantis::sim::ResetListCalls();
  velorantis::sim::ForgetReportedLines();
}
