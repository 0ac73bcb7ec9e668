// What a device says of its capture, for settling the ledger's claims.
#ifndef VELORANTIS_HELPER_DEVICE_DEVICE_STATE_H_
#define VELORANTIS_HELPER_DEVICE_DEVICE_STATE_H_

#include <string>

// 1 while a capture runs on the device, 0 when it is idle, -1 when the
// library cannot tell.
int CaptureStateOf(void* handle);

// The device's MAC text, empty when it cannot be read.
std::string MacTextOf(void* handle);

// What a claimed capture's device says now.
enum class DeviceNow { kCapturing, kIdle, kGone, kUnknown };

// Asks the device `mac` of the device list already prepared; kGone when the
// list no longer has it.
DeviceNow DeviceStateOf(const std::string& mac);

#endif  // VELORANTIS_HELPER_DEVICE_DEVICE_STATE_H_
