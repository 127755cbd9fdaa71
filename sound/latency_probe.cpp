#include "sound/latency_probe.h"

#ifdef TESSEL_LATENCY_PROBE

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>

namespace tessel::probe {
namespace {

using Clock = std::chrono::steady_clock;

std::atomic<std::int64_t> pendingEvent{0};  // ns since the clock's epoch; 0: none waiting
std::array<std::atomic<std::int64_t>, 4096> samples{};
std::atomic<std::size_t> sampleCount{0};

std::int64_t now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

}  // namespace

void pointerEventArrived() {
  pendingEvent.store(now(), std::memory_order_release);
}

void firstSampleHandedOver() {
  const std::int64_t event = pendingEvent.exchange(0, std::memory_order_acq_rel);
  if (event == 0) return;
  const std::size_t i = sampleCount.fetch_add(1, std::memory_order_relaxed);
  if (i < samples.size()) samples[i].store(now() - event, std::memory_order_relaxed);
}

std::vector<double> takeLatencies() {
  const std::size_t n = std::min(sampleCount.exchange(0), samples.size());
  std::vector<double> out;
  for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<double>(samples[i].load()) / 1e6);
  return out;
}

}  // namespace tessel::probe

#endif
