// What the sound side costs: a PlayWave on an open device (must be a pointer swap, never a
// decode), loading the bank at the device's format and at the recordings' own, and opening the
// player as the program does at start-up.
//
// The audio driver is SDL's "dummy" unless SDL_AUDIODRIVER names another, so the figures do not
// depend on a sound server and the device open is the cheapest one SDL has.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sound/sound_bank.h"
#include "sound/sound_player.h"

namespace tessel {
namespace {

using Clock = std::chrono::steady_clock;

constexpr PcmFormat kDeviceFormat = kOutputRequest;         // what SoundPlayer asks SDL for
constexpr PcmFormat kSourceFormat{22050, AUDIO_S16SYS, 1};  // the recordings as stored

bool playerReady(benchmark::State& state, const SoundPlayer& player) {
  if (!player.hasDevice()) {
    state.SkipWithError("no audio device opened");
    return false;
  }
  if (player.bank().loadedCount() != kSoundCount) {
    state.SkipWithError("the bank did not load all 48 recordings");
    return false;
  }
  return true;
}

// Two keys in turn, so every call really replaces the clip the callback reads. The strings are
// built once: the chart hands PlayWave a ready key, and building one is not PlayWave's cost.
void BM_PlayWave(benchmark::State& state) {
  SoundPlayer player;
  if (!playerReady(state, player)) return;
  const std::string keys[2] = {"101", "148"};
  std::size_t turn = 0;
  for (auto _ : state) {
    player.PlayWave(keys[turn]);
    turn ^= 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlayWave);

// Context switches of the calling thread so far: voluntary ones are waits (a contended lock
// sleeps in the kernel), involuntary ones are the scheduler taking the CPU away. They tell a slow
// call caused by the device lock from one caused by the machine.
struct Switches {
  double voluntary = 0, involuntary = 0;
  static Switches now() {
    Switches s;
    std::ifstream status("/proc/thread-self/status");
    std::string key;
    double value = 0;
    while (status >> key) {
      if (key == "voluntary_ctxt_switches:" && status >> value) s.voluntary = value;
      if (key == "nonvoluntary_ctxt_switches:" && status >> value) s.involuntary = value;
    }
    return s;
  }
};

void reportSwitches(benchmark::State& state, const Switches& before) {
  const Switches after = Switches::now();
  const double calls = static_cast<double>(state.iterations());
  state.counters["waits_ppm"] = 1e6 * (after.voluntary - before.voluntary) / calls;
  state.counters["preempt_ppm"] = 1e6 * (after.involuntary - before.involuntary) / calls;
}

// Sorted per-call times in ns → the counters the tail benchmarks report.
void reportTail(benchmark::State& state, std::vector<double>& ns) {
  if (ns.empty()) return;
  std::sort(ns.begin(), ns.end());
  auto at = [&](double q) {
    return ns[static_cast<std::size_t>(q * static_cast<double>(ns.size() - 1))];
  };
  state.counters["p50_ns"] = at(0.50);
  state.counters["p99_ns"] = at(0.99);
  state.counters["p99.99_ns"] = at(0.9999);
  state.counters["max_ns"] = ns.back();
  // Per million calls, so runs of different lengths compare.
  auto ppmOver = [&](double limit) {
    const auto over = ns.end() - std::upper_bound(ns.begin(), ns.end(), limit);
    return 1e6 * static_cast<double>(over) / static_cast<double>(ns.size());
  };
  state.counters["over_1us_ppm"] = ppmOver(1000.0);
  state.counters["over_10us_ppm"] = ppmOver(10000.0);
}

// The same calls timed one by one, for the tail: the device lock is shared with SDL's audio
// thread, so a call that lands while the callback is copying has to wait for it.
void BM_PlayWave_Tail(benchmark::State& state) {
  SoundPlayer player;
  if (!playerReady(state, player)) return;
  const std::string keys[2] = {"101", "148"};
  std::vector<double> ns;
  ns.reserve(1 << 22);
  std::size_t turn = 0;
  const Switches before = Switches::now();
  for (auto _ : state) {
    const auto start = Clock::now();
    player.PlayWave(keys[turn]);
    const auto stop = Clock::now();
    turn ^= 1;
    if (ns.size() < ns.capacity()) {
      ns.push_back(std::chrono::duration<double, std::nano>(stop - start).count());
    }
  }
  reportSwitches(state, before);
  reportTail(state, ns);
}
BENCHMARK(BM_PlayWave_Tail);

// The timing pair with nothing between: the floor under the figures above, and the tail this
// machine shows with no lock involved (preemption, interrupts).
void BM_ClockPair_Tail(benchmark::State& state) {
  std::vector<double> ns;
  ns.reserve(1 << 22);
  const Switches before = Switches::now();
  for (auto _ : state) {
    const auto start = Clock::now();
    const auto stop = Clock::now();
    if (ns.size() < ns.capacity()) {
      ns.push_back(std::chrono::duration<double, std::nano>(stop - start).count());
    }
  }
  reportSwitches(state, before);
  reportTail(state, ns);
}
BENCHMARK(BM_ClockPair_Tail);

// A key with no recording still takes the lock and cuts the old sound off.
void BM_PlayWave_UnknownKey(benchmark::State& state) {
  SoundPlayer player;
  if (!playerReady(state, player)) return;
  const std::string key = "999";
  for (auto _ : state) player.PlayWave(key);
}
BENCHMARK(BM_PlayWave_UnknownKey);

// Minor page faults of the calling thread so far.
double pageFaults() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return static_cast<double>(usage.ru_minflt);
}

// How a load meets memory. Cold is start-up: every page of the clips is touched for the first
// time, and on a virtual machine each of those faults is dear. Warm keeps the pages of the last
// load, leaving the decoding and conversion alone.
enum class Heap { Cold, Warm };

void BM_SoundBankLoad(benchmark::State& state, PcmFormat format, Heap heap) {
  std::size_t bytes = 0;
  double faults = 0;
  for (auto _ : state) {
    if (heap == Heap::Cold) malloc_trim(0);  // hand the freed clips' pages back to the kernel
    const double faultsBefore = pageFaults();
    const auto start = Clock::now();
    SoundBank bank = SoundBank::load(format);
    benchmark::DoNotOptimize(bank);
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    faults += pageFaults() - faultsBefore;
    if (bank.loadedCount() != kSoundCount) {
      state.SkipWithError("the bank did not load all 48 recordings");
      return;
    }
    bytes = 0;
    for (int slot = 0; slot < kSoundCount; ++slot) {
      bytes += bank.clip(std::to_string(kFirstSoundKey + slot))->size();
    }
  }
  state.counters["clip_bytes"] = static_cast<double>(bytes);
  state.counters["page_faults"] = faults / static_cast<double>(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}
BENCHMARK_CAPTURE(BM_SoundBankLoad, device_format_cold, kDeviceFormat, Heap::Cold)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SoundBankLoad, device_format_warm, kDeviceFormat, Heap::Warm)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SoundBankLoad, source_22050_s16_mono_cold, kSourceFormat, Heap::Cold)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SoundBankLoad, source_22050_s16_mono_warm, kSourceFormat, Heap::Warm)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Only the constructor is timed, on a cold heap; what closing the device costs is kept as a
// counter. Each close
// waits for SDL's audio thread to notice and exit, so the iteration count is fixed rather than
// left to the library, which would otherwise spend minutes in unmeasured closes.
void BM_SoundPlayerConstruct(benchmark::State& state) {
  double closeSeconds = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    auto player = std::make_unique<SoundPlayer>();
    const auto built = Clock::now();
    state.SetIterationTime(std::chrono::duration<double>(built - start).count());
    if (!player->hasDevice()) {
      state.SkipWithError("no audio device opened");
      return;
    }
    player.reset();
    closeSeconds += std::chrono::duration<double>(Clock::now() - built).count();
    malloc_trim(0);  // the next player meets fresh pages, as the program's one player does
  }
  state.counters["close_ms"] = 1e3 * closeSeconds / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SoundPlayerConstruct)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

// The device half of the constructor alone, to split construction into open + load.
void BM_AudioDeviceOpen(benchmark::State& state) {
  double closeSeconds = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      state.SkipWithError(SDL_GetError());
      return;
    }
    SDL_AudioSpec want{};
    want.freq = kDeviceFormat.rate;
    want.format = kDeviceFormat.format;
    want.channels = static_cast<Uint8>(kDeviceFormat.channels);
    want.samples = kDeviceSamples;
    want.callback = [](void*, Uint8* stream, int len) { SDL_memset(stream, 0, len); };
    SDL_AudioSpec have{};
    const SDL_AudioDeviceID device =
        SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_ANY_CHANGE);
    if (device != 0) SDL_PauseAudioDevice(device, 0);
    const auto opened = Clock::now();
    state.counters["device_rate"] = have.freq;
    state.counters["device_samples"] = have.samples;
    state.SetIterationTime(std::chrono::duration<double>(opened - start).count());
    if (device == 0) {
      state.SkipWithError(SDL_GetError());
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return;
    }
    SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    closeSeconds += std::chrono::duration<double>(Clock::now() - opened).count();
  }
  state.counters["close_ms"] = 1e3 * closeSeconds / static_cast<double>(state.iterations());
}
BENCHMARK(BM_AudioDeviceOpen)->UseManualTime()->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessel

int main(int argc, char** argv) {
  setenv("SDL_AUDIODRIVER", "dummy", /*overwrite=*/0);
  // Left alone, glibc moves its trim threshold after the first large free, so whether a load
  // found its pages still mapped would depend on which benchmarks ran before it. With the
  // threshold pinned, freed memory stays mapped until a benchmark trims on purpose (the cold ones).
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  benchmark::AddCustomContext("SDL_AUDIODRIVER", std::getenv("SDL_AUDIODRIVER"));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
