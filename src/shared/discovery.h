// Device discovery and identification, between the command handlers and the
// device library. Nothing is cached: every call lists the devices anew.
#ifndef VELORANTIS_SHARED_DISCOVERY_H_
#define VELORANTIS_SHARED_DISCOVERY_H_

#include <cstdint>
#include <functional>

// Size of the model and MAC-text buffers that callers pass to GetDeviceInfo.
inline constexpr int kDeviceTextSize = 64;

// The handle value meaning "no device was found": all bits set.
inline void* NoDevice() { return reinterpret_cast<void*>(~uintptr_t{0}); }

// Gives freshly attached devices time to appear: polls the device list up to
// 50 times, 10 ms apart, and returns at the first non-empty list. Reports
// nothing when it gives up; the caller then finds no device.
void waitForDevs();

// The device that `mac` names: its MAC text ("00:11:22:aa:bb:cc", lower case,
// compared exactly), or "default" for the first device in list order whose
// type and MAC can be read. Returns NoDevice() when none matches or `mac` is
// null (then without calling the library).
void* GetDeviceHandle(const char* mac);

// The start of every request that reaches a device: initialises the library,
// then waitForDevs().
void PrepareDevices();

// PrepareDevices(), then GetDeviceHandle(mac).
void* FindDevice(const char* mac);

// Why FindDevice found no device, for the failure log: that the device
// library cannot be loaded (DeviceLibraryFailure), else that it lists no
// readable device with that MAC text.
const char* NoDeviceCause();

// Writes the device's model name into `model` and its MAC text into
// `macText`, both of kDeviceTextSize bytes. Returns 0, or the non-zero result
// of the library operation that failed: a failed type read writes neither
// buffer, a failed MAC read leaves `macText` as it was.
int GetDeviceInfo(void* handle, char* model, char* macText);

// A device of the list that could be identified. The texts are the
// GetDeviceInfo buffers, valid during the visit only.
struct ListedDevice {
  void* handle;
  const char* model;
  const char* macText;
};

// Lists the devices once and visits, in list order, each whose type and MAC
// can be read (GetDeviceInfo), until `visit` returns false; then frees the
// list. The library must have been initialised.
void ForEachDevice(const std::function<bool(const ListedDevice&)>& visit);

// The model name for a device type number; "Unknown" for numbers without one.
const char* ModelName(int type);

#endif  // VELORANTIS_SHARED_DISCOVERY_H_
