// The one clock of the start-up figures: CLOCK_MONOTONIC is the same for every process on the
// machine, so a stamp taken in the launcher and one taken in the launched program subtract.
#pragma once

#include <ctime>

namespace bench {

inline long long monotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

}  // namespace bench
