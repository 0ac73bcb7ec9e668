/*
 * Interface of the capture-device library libVelorantisAPI.so.2.
 *
 * The library is the maker's and closed: this header declares the operations
 * the web back end calls and the records that cross the boundary, laid out as
 * the library expects them on the appliance (32-bit, natural alignment). Every
 * operation that returns an int returns 0 for success and anything else for
 * failure; callers never tell failures apart.
 */
#ifndef VELORANTIS_API_H_
#define VELORANTIS_API_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One entry of a device list. `handle` names the device and stays valid for
 * the rest of the process, also after the list has been freed. */
typedef struct VelorantisAPIDeviceListNode {
  struct VelorantisAPIDeviceListNode* next; /* null at the end */
  void* handle;
} VelorantisAPIDeviceListNode;

/* A device list, owned by the library until VelorantisApiDeviceListFree. */
typedef struct VelorantisAPIDeviceList {
  VelorantisAPIDeviceListNode* first; /* null when the list is empty */
  int32_t count;
} VelorantisAPIDeviceList;

/* Device features, passed by value. Words without a name of their own are
 * fixed: word0 and word4 hold 1, the others 0. The two bytes after half48 and
 * after slicingValue are padding and never written. */
typedef struct VelorantisAPIDeviceFeatures {
  uint32_t word0;
  uint32_t word4;
  uint32_t word8;
  uint32_t word12;
  uint32_t slicingEnabled; /* 1 when slicingValue applies */
  uint32_t inlineEnabled;  /* 1 for inline mode */
  uint32_t word24;
  uint32_t word28;
  uint32_t word32;
  uint32_t word36;
  uint32_t word40;
  uint32_t word44;
  uint16_t half48;
  uint32_t word52;
  uint32_t word56;
  uint32_t word60;
  uint16_t slicingValue; /* bytes kept of each packet */
} VelorantisAPIDeviceFeatures;

/* Capture-to-disk settings, passed by value; they apply to the next start. */
typedef struct VelorantisAPIDiskDumpConfig {
  uint32_t loop; /* 1: overwrite the oldest data when full */
  uint32_t reserved0;
  uint32_t reserved1;
  /* NUL-terminated; one wide character per byte of the 8-bit path. */
  wchar_t* destination;
  uint64_t size;    /* bytes */
  uint64_t ramSize; /* bytes of memory the library may use */
  uint32_t count;
  uint32_t duration;
} VelorantisAPIDiskDumpConfig;

/* Filled by VelorantisAPIDiskDumpGetStatus; byte 0 is non-zero while a capture
 * to disk runs. The rest belongs to the library. */
typedef struct VelorantisAPIDiskDumpStatus {
  uint8_t running;
  uint8_t reserved[47];
} VelorantisAPIDiskDumpStatus;

int VelorantisAPIInitialize(void);
/* Never null; an empty list when no device is attached. */
VelorantisAPIDeviceList* VelorantisAPIGetDevicesList(void);
/* Frees the list and its nodes, not the devices. */
void VelorantisApiDeviceListFree(VelorantisAPIDeviceList* list);
void VelorantisApiSleepMs(uint32_t ms);
int VelorantisAPIGetDeviceType(void* handle, int* type);
/* Writes the six MAC bytes in printing order. */
int VelorantisAPIGetDeviceMAC(void* handle, uint8_t mac[6]);
int VelorantisAPISetDeviceFeatures(void* handle, VelorantisAPIDeviceFeatures features);
int VelorantisAPIDiskDumpGetStatus(void* handle, VelorantisAPIDiskDumpStatus* status);
int VelorantisAPIDiskDumpSetConfig(void* handle, VelorantisAPIDiskDumpConfig config);
/* The capture runs on after the calling process has exited. */
int VelorantisAPIDiskDumpStart(void* handle);
/* Stops the device's capture, also one started by an earlier process. */
int VelorantisAPIDiskDumpStop(void* handle);

#ifdef __cplusplus
}
#endif

/* On the appliance's 32-bit ABI the records must match the library byte for
 * byte; prove every offset the library relies on. */
#if UINTPTR_MAX == 0xffffffffu
#ifdef __cplusplus
#define VELORANTIS_ASSERT_LAYOUT(cond) static_assert(cond, #cond)
#else
#define VELORANTIS_ASSERT_LAYOUT(cond) _Static_assert(cond, #cond)
#endif
VELORANTIS_ASSERT_LAYOUT(sizeof(VelorantisAPIDeviceListNode) == 8);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceListNode, next) == 0);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceListNode, handle) == 4);
VELORANTIS_ASSERT_LAYOUT(sizeof(VelorantisAPIDeviceList) == 8);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceList, first) == 0);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceList, count) == 4);
VELORANTIS_ASSERT_LAYOUT(sizeof(VelorantisAPIDeviceFeatures) == 68);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, word0) == 0);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, word4) == 4);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, word8) == 8);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, word12) == 12);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, slicingEnabled) == 16);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, inlineEnabled) == 20);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, word24) == 24);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, word28) == 28);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, word32) == 32);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, word36) == 36);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, word40) == 40);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, word44) == 44);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, half48) == 48);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, word52) == 52);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, word56) == 56);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, word60) == 60);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDeviceFeatures, slicingValue) == 64);
VELORANTIS_ASSERT_LAYOUT(sizeof(VelorantisAPIDiskDumpConfig) == 40);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDiskDumpConfig, loop) == 0);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDiskDumpConfig, reserved0) == 4);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDiskDumpConfig, reserved1) == 8);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDiskDumpConfig, destination) == 12);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDiskDumpConfig, size) == 16);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDiskDumpConfig, ramSize) == 24);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDiskDumpConfig, count) == 32);
VELORANTIS_ASSERT_LAYOUT(offsetof(VelorantisAPIDiskDumpConfig, duration) == 36);
VELORANTIS_ASSERT_LAYOUT(sizeof(wchar_t) == 4);
VELORANTIS_ASSERT_LAYOUT(sizeof(VelorantisAPIDiskDumpStatus) == 48);
#undef VELORANTIS_ASSERT_LAYOUT
#endif

#endif /* VELORANTIS_API_H_ */
