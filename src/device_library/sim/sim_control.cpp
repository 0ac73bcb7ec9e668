#include "velorantis_sim.h"

#include <optional>

#include "capture.h"
#include "device_list.h"
#include "device_registry.h"
#include "export.h"
#include "malformed_lines.h"

extern "C" VELORANTIS_SIM_EXPORT void VelorantisSimReset(void) {
  velorantis::sim::ResetListCalls();
  velorantis::sim::ForgetReportedLines();
}

extern "C" VELORANTIS_SIM_EXPORT int VelorantisSimGetCapture(void* handle,
                                                             VelorantisSimCapture* capture) {
  const std::optional<velorantis::sim::Device> device = velorantis::sim::DeviceOf(handle);
  if (capture == nullptr || !device) return 1;
  const velorantis::sim::CaptureFigures figures = velorantis::sim::CaptureState(*device);
  *capture = {figures.running ? 1 : 0, figures.written, figures.cache_used, figures.max_cache,
              figures.error};
  return 0;
}
