// splitmix64: a well-spread number from any 64-bit one, cheap and the same on
// every target. The stand-in library draws its frames with it and the
// stand-in status daemon its statistics, so their output repeats run to run.
#ifndef VELORANTIS_SIM_SPLITMIX64_H_
#define VELORANTIS_SIM_SPLITMIX64_H_

#include <cstdint>

inline constexpr uint64_t SplitMix64(uint64_t x) {
  x += 0x9e3779b97f4a7c15u;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9u;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebu;
  return x ^ (x >> 31);
}

#endif  // VELORANTIS_SIM_SPLITMIX64_H_
