// Small helpers the benchmark programs share: the machine's load, and quantiles of a sample.
#pragma once

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

// The 1, 5 and 15 minute load averages, as /proc/loadavg gives them.
inline std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

// The q-quantile (0..1) of `v`, interpolated between neighbouring ranks.
inline double quantile(std::vector<double> v, double q) {
  std::sort(v.begin(), v.end());
  const double at = q * static_cast<double>(v.size() - 1);
  const auto lo = static_cast<std::size_t>(at);
  const std::size_t hi = std::min(lo + 1, v.size() - 1);
  return v[lo] + (v[hi] - v[lo]) * (at - static_cast<double>(lo));
}

}  // namespace bench
