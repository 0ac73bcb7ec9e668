// What the device library says about the attached devices.
#ifndef VELORANTIS_STATUSD_SIM_DEVICE_SCAN_H_
#define VELORANTIS_STATUSD_SIM_DEVICE_SCAN_H_

#include <cstdint>
#include <string>
#include <vector>

struct ScannedDevice {
  std::string mac;    // MAC text, as the status database keys devices
  std::string model;  // model name
  bool capturing;     // a capture to disk runs
  int64_t written;    // bytes the device's latest capture wrote
  int64_t cacheused;  // bytes of the capture's cache in use
  int64_t maxcache;   // the cache's size
  int64_t error;      // why the latest capture ended early; 0 when it did not
};

// Every device the library lists now whose type and MAC can be read, in list
// order. A device whose capture status cannot be read counts as not
// capturing. The capture's figures come from the simulated library's own
// report; from any other library they are 0. The library must have been
// initialised.
std::vector<ScannedDevice> ScanDevices();

#endif  // VELORANTIS_STATUSD_SIM_DEVICE_SCAN_H_
