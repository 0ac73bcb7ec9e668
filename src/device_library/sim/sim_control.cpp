#include "device_list.h"
#include "export.h"
#include "malformed_lines.h"
#include "velorantis_sim.h"

extern "C" VELORANTIS_SIM_EXPORT void VelorantisSimReset(void) {
  velorantis::sim::ResetListCalls();
  velorantis::sim::ForgetReportedLines();
}
