#include "shared/discovery.h"

#include <cstdio>
#include <cstring>

#include "VelorantisAPI.h"
#include "shared/device_library.h"

namespace {

constexpr int kWaitAttempts = 50;
constexpr uint32_t kWaitStepMs = 10;

struct Model {
  int type;
  const char* name;
};

constexpr Model kModels[] = {
    {3, "Velorantis-A1"},    {5, "Velorantis-A1+"},   {8, "Velorantis-A1+"},
    {9, "Velorantis-A1+"},   {10, "Velorantis-A1+"},  {6, "Velorantis-A1r5"},
    {7, "Velorantis-A1r5"},  {14, "Velorantis-A1r6"}, {11, "Velorantis-B20"},
    {12, "Velorantis-B20+"}, {13, "Velorantis-C30"},
};

}  // namespace

const char* ModelName(int type) {
  for (const Model& model : kModels) {
    if (model.type == type) return model.name;
  }
  return "Unknown";
}

void PrepareDevices() {
  VelorantisAPIInitialize();
  waitForDevs();
}

void* FindDevice(const char* mac) {
  PrepareDevices();
  return GetDeviceHandle(mac);
}

const char* NoDeviceCause() {
  if (const char* failure = DeviceLibraryFailure()) return failure;
  return "the device library lists no readable device with that MAC text";
}

void waitForDevs() {
  for (int attempt = 0; attempt < kWaitAttempts; ++attempt) {
    VelorantisAPIDeviceList* list = VelorantisAPIGetDevicesList();
    const bool found = list->count > 0;
    VelorantisApiDeviceListFree(list);
    if (found) return;
    VelorantisApiSleepMs(kWaitStepMs);
  }
}

void ForEachDevice(const std::function<bool(const ListedDevice&)>& visit) {
  VelorantisAPIDeviceList* list = VelorantisAPIGetDevicesList();
  for (VelorantisAPIDeviceListNode* node = list->first; node != nullptr; node = node->next) {
    char model[kDeviceTextSize];
    char macText[kDeviceTextSize];
    // A device we cannot identify is neither shown nor chosen.
    if (GetDeviceInfo(node->handle, model, macText) != 0) continue;
    if (!visit(ListedDevice{node->handle, model, macText})) break;
  }
  VelorantisApiDeviceListFree(list);
}

void* GetDeviceHandle(const char* mac) {
  if (mac == nullptr) return NoDevice();
  void* chosen = NoDevice();
  ForEachDevice([&](const ListedDevice& device) {
    // Case-sensitive on purpose: requests carry the MAC text exactly as list
    // shows it, and the status database keys devices by that same text.
    if (strcmp(mac, "default") != 0 && strcmp(mac, device.macText) != 0) return true;
    chosen = device.handle;
    return false;
  });
  return chosen;
}

int GetDeviceInfo(void* handle, char* model, char* macText) {
  int type = 0;
  int result = VelorantisAPIGetDeviceType(handle, &type);
  if (result != 0) return result;
  snprintf(model, kDeviceTextSize, "%s", ModelName(type));
  uint8_t mac[6];
  result = VelorantisAPIGetDeviceMAC(handle, mac);
  if (result != 0) return result;
  snprintf(macText, kDeviceTextSize, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
           mac[3], mac[4], mac[5]);
  return 0;
}
