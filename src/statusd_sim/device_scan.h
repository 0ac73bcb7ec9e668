// What the device library says about the attached devices.
#ifndef VELORANTIS_STATUSD_SIM_DEVICE_SCAN_H_
#define VELORANTIS_STATUSD_SIM_DEVICE_SCAN_H_

#include <string>
#include <vector>

struct ScannedDevice {
  std::string mac;    // MAC text, as the status database keys devices
  std::string model;  // model name
  bool capturing;     // a capture to disk runs
};

// Every device the library lists now whose type and MAC can be read, in list
// order. A device whose capture status cannot be read counts as not
// capturing. The library must have been initialised.
std::vector<ScannedDevice> ScanDevices();

#endif  // VELORANTIS_STATUSD_SIM_DEVICE_SCAN_H_
