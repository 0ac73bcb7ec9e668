/*
 * Test control of the stand-in device library. Only the simulator exports
 * these; programs that run against the appliance's library never call them.
 */
#ifndef VELORANTIS_SIM_H_
#define VELORANTIS_SIM_H_

#ifdef __cplusplus
extern "C" {
#endif

/* Forgets what this process has done so far: the count of device-list calls
 * that `appear=N` refers to, and which malformed lines of the devices file
 * were already reported. Lets one process run several independent tests. */
void VelorantisSimReset(void);

#ifdef __cplusplus
}
#endif

#endif /* VELORANTIS_SIM_H_ */
