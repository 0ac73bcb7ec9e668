// The library is built with hidden visibility; only what carries this mark
// (the maker's operations and the test control) is visible to programs.
#ifndef VELORANTIS_SIM_EXPORT_H_
#define VELORANTIS_SIM_EXPORT_H_

#define VELORANTIS_SIM_EXPORT __attribute__((visibility("default")))

#endif  // VELORANTIS_SIM_EXPORT_H_
