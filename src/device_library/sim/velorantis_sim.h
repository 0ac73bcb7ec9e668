/*
 * Test control of the stand-in device library. Only the simulator exports
 * these; programs that run against the appliance's library never call them.
 */
#ifndef VELORANTIS_SIM_H_
#define VELORANTIS_SIM_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Forgets what this process has done so far: the count of device-list calls
 * that `appear=N` refers to, and which malformed lines of the devices file
 * were already reported. Lets one process run several independent tests. */
void VelorantisSimReset(void);

/* A device's capture to disk as its writer reports it. */
typedef struct VelorantisSimCapture {
  int32_t running;    /* 1 while the writer runs */
  uint64_t written;   /* bytes the latest capture wrote, kept after it ends */
  uint64_t cacheused; /* bytes through the cache in the writer's last round */
  uint64_t maxcache;  /* the configured ramSize */
  int32_t error;      /* non-zero (an errno) when the latest capture ended
                         because its file could not be written (a full disk) */
} VelorantisSimCapture;

/* Fills `capture` for a device handle; returns 0, or 1 (leaving it as it
 * was) for a null pointer or a handle the library never gave out. Not logged
 * in calls.log: it is no operation of the device. */
int VelorantisSimGetCapture(void* handle, VelorantisSimCapture* capture);

#ifdef __cplusplus
}
#endif

#endif /* VELORANTIS_SIM_H_ */
