// The device a request names by "mac", for the commands that reach one.
#ifndef VELORANTIS_HELPER_DEVICE_DEVICE_LOOKUP_H_
#define VELORANTIS_HELPER_DEVICE_DEVICE_LOOKUP_H_

#include "helper/frontend/request.h"
#include "shared/status.h"

// Prepares the device library and finds the device the request's "mac"
// names (its MAC text, or "default" for the first device): its handle in
// `handle`, else NoDevice() there and kInvalidMac, with the cause, when
// "mac" is absent or names no device the library lists.
Status FindRequestedDevice(const Request& request, void*& handle);

#endif  // VELORANTIS_HELPER_DEVICE_DEVICE_LOOKUP_H_
