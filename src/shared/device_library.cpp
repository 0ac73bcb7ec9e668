#include "shared/device_library.h"

#include <dlfcn.h>

#include <string>

// The operations defined here are the program's own, hidden: they neither
// reach the dynamic symbol table nor stand in for a loaded library's.
#pragma GCC visibility push(hidden)
#include "VelorantisAPI.h"
#pragma GCC visibility pop

namespace {

constexpr char kSoname[] = "libVelorantisAPI.so.2";

// The library's operations, all set once it is loaded.
struct Operations {
  decltype(&VelorantisAPIInitialize) initialize;
  decltype(&VelorantisAPIGetDevicesList) getDevicesList;
  decltype(&VelorantisApiDeviceListFree) deviceListFree;
  decltype(&VelorantisApiSleepMs) sleepMs;
  decltype(&VelorantisAPIGetDeviceType) getDeviceType;
  decltype(&VelorantisAPIGetDeviceMAC) getDeviceMac;
  decltype(&VelorantisAPISetDeviceFeatures) setDeviceFeatures;
  decltype(&VelorantisAPIDiskDumpGetStatus) diskDumpGetStatus;
  decltype(&VelorantisAPIDiskDumpSetConfig) diskDumpSetConfig;
  decltype(&VelorantisAPIDiskDumpStart) diskDumpStart;
  decltype(&VelorantisAPIDiskDumpStop) diskDumpStop;
};

struct Library {
  void* handle = nullptr;  // set once loaded
  Operations operations{};
  std::string failure;  // empty once loaded
};

// Sets `operation` to the library's symbol `name`; false, the loader's error
// left for dlerror(), when it has none.
template <typename Function>
bool Bind(void* handle, const char* name, Function& operation) {
  void* symbol = dlsym(handle, name);
  operation = reinterpret_cast<Function>(symbol);
  return symbol != nullptr;
}

Library Load() {
  Library library;
  dlerror();
  Operations& op = library.operations;
  // dlopen in the program's own namespace. The loader searches the run path
  // of the object that calls it; a sanitizer runtime wraps dlopen, and its
  // wrapper, which has none, would then be the caller.
  void* handle = dlmopen(LM_ID_BASE, kSoname, RTLD_NOW | RTLD_LOCAL);
  const bool bound = handle != nullptr && Bind(handle, "VelorantisAPIInitialize", op.initialize) &&
                     Bind(handle, "VelorantisAPIGetDevicesList", op.getDevicesList) &&
                     Bind(handle, "VelorantisApiDeviceListFree", op.deviceListFree) &&
                     Bind(handle, "VelorantisApiSleepMs", op.sleepMs) &&
                     Bind(handle, "VelorantisAPIGetDeviceType", op.getDeviceType) &&
                     Bind(handle, "VelorantisAPIGetDeviceMAC", op.getDeviceMac) &&
                     Bind(handle, "VelorantisAPISetDeviceFeatures", op.setDeviceFeatures) &&
                     Bind(handle, "VelorantisAPIDiskDumpGetStatus", op.diskDumpGetStatus) &&
                     Bind(handle, "VelorantisAPIDiskDumpSetConfig", op.diskDumpSetConfig) &&
                     Bind(handle, "VelorantisAPIDiskDumpStart", op.diskDumpStart) &&
                     Bind(handle, "VelorantisAPIDiskDumpStop", op.diskDumpStop);
  if (bound) {
    library.handle = handle;
    return library;
  }
  const char* error = dlerror();
  library.failure =
      std::string("the device library cannot be loaded: ") + (error != nullptr ? error : kSoname);
  library.operations = Operations{};
  return library;
}

const Library& TheLibrary() {
  static const Library library = Load();
  return library;
}

// The loaded library's operations, or null.
const Operations* Loaded() {
  const Library& library = TheLibrary();
  return library.failure.empty() ? &library.operations : nullptr;
}

// The device list of a library that could not be loaded.
VelorantisAPIDeviceList emptyList{nullptr, 0};

}  // namespace

const char* DeviceLibraryFailure() {
  const Library& library = TheLibrary();
  return library.failure.empty() ? nullptr : library.failure.c_str();
}

void* DeviceLibrarySymbol(const char* name) {
  const Library& library = TheLibrary();
  return library.handle != nullptr ? dlsym(library.handle, name) : nullptr;
}

int VelorantisAPIInitialize(void) {
  const Operations* op = Loaded();
  return op != nullptr ? op->initialize() : -1;
}

VelorantisAPIDeviceList* VelorantisAPIGetDevicesList(void) {
  const Operations* op = Loaded();
  return op != nullptr ? op->getDevicesList() : &emptyList;
}

void VelorantisApiDeviceListFree(VelorantisAPIDeviceList* list) {
  if (const Operations* op = Loaded()) op->deviceListFree(list);
}

void VelorantisApiSleepMs(uint32_t ms) {
  if (const Operations* op = Loaded()) op->sleepMs(ms);
}

int VelorantisAPIGetDeviceType(void* handle, int* type) {
  const Operations* op = Loaded();
  return op != nullptr ? op->getDeviceType(handle, type) : -1;
}

int VelorantisAPIGetDeviceMAC(void* handle, uint8_t mac[6]) {
  const Operations* op = Loaded();
  return op != nullptr ? op->getDeviceMac(handle, mac) : -1;
}

int VelorantisAPISetDeviceFeatures(void* handle, VelorantisAPIDeviceFeatures features) {
  const Operations* op = Loaded();
  return op != nullptr ? op->setDeviceFeatures(handle, features) : -1;
}

int VelorantisAPIDiskDumpGetStatus(void* handle, VelorantisAPIDiskDumpStatus* status) {
  const Operations* op = Loaded();
  return op != nullptr ? op->diskDumpGetStatus(handle, status) : -1;
}

int VelorantisAPIDiskDumpSetConfig(void* handle, VelorantisAPIDiskDumpConfig config) {
  const Operations* op = Loaded();
  return op != nullptr ? op->diskDumpSetConfig(handle, config) : -1;
}

int VelorantisAPIDiskDumpStart(void* handle) {
  const Operations* op = Loaded();
  return op != nullptr ? op->diskDumpStart(handle) : -1;
}

int VelorantisAPIDiskDumpStop(void* handle) {
  const Operations* op = Loaded();
  return op != nullptr ? op->diskDumpStop(handle) : -1;
}
