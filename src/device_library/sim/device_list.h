// Building the device lists VelorantisAPIGetDevicesList hands out.
#ifndef VELORANTIS_SIM_DEVICE_LIST_H_
#define VELORANTIS_SIM_DEVICE_LIST_H_

#include <string>

#include "VelorantisAPI.h"

namespace velorantis::sim {

// Reads the devices file of `state_dir` afresh and lists the devices due at
// this call; counts the call for `appear=N`. Never null.
VelorantisAPIDeviceList* NewDeviceList(const std::string& state_dir);

void DeleteDeviceList(VelorantisAPIDeviceList* list);

// Starts the call count for `appear=N` over.
void ResetListCalls();

}  // namespace velorantis::sim

#endif  // VELORANTIS_SIM_DEVICE_LIST_H_
