// The device library, libVelorantisAPI.so.2, loaded when a request first
// reaches a device rather than when the program starts: most requests
// (getconfig, metrics, download, most status and captures requests) never
// call it, and loading it at start-up cost every request its mapping and the
// binding of its symbols.
//
// device_library.cpp defines every operation of VelorantisAPI.h, hidden
// inside the program, each forwarding to the library's own. The first call
// loads the library by its SONAME (dlopen, RTLD_NOW): the loader finds it as
// it would have found a linked one (the run path of a build-tree program,
// LD_LIBRARY_PATH, the system's library cache); a copy already loaded (a test
// that links the simulator for its controls) is the one used.
//
// When it cannot be loaded, or lacks one of the operations, the operations
// act as a library without devices: VelorantisAPIInitialize returns -1, the
// device list is empty, VelorantisApiSleepMs returns at once and the device
// operations return -1; DeviceLibraryFailure() says why.
#ifndef VELORANTIS_SHARED_DEVICE_LIBRARY_H_
#define VELORANTIS_SHARED_DEVICE_LIBRARY_H_

// Loads the library unless that was tried already. Returns null once it is
// loaded, else why it could not be ("the device library cannot be loaded:
// " and the loader's text), the same text on every call.
const char* DeviceLibraryFailure();

// The loaded library's symbol `name`, for a function beyond the maker's
// operations (the simulator's controls); null when the library has none or
// cannot be loaded.
void* DeviceLibrarySymbol(const char* name);

#endif  // VELORANTIS_SHARED_DEVICE_LIBRARY_H_
