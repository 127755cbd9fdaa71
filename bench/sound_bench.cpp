// What the sound side costs on SDL: a PlayWave on an open device (must be a pointer handed over,
// never a decode), opening the player as the program does, what a request or a press costs when the
// output rests and SDL must be opened again, and the output's wake-ups awake and at rest.
//
// The audio driver is SDL's "dummy" unless SDL_AUDIODRIVER names another, so the figures do not
// depend on a sound server or card: opening a device is the cheapest SDL has, and a real card's
// driver costs more.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sound/sound_bank.h"
#include "sound/sound_player.h"
#include "testbed/sound_servers.h"

namespace tessel {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

bool playerReady(benchmark::State& state, const SoundPlayer& player) {
  if (std::string(player.output()) != "SDL") {
    state.SkipWithError("no SDL device opened");
    return false;
  }
  if (player.bank().readableCount() != kSoundCount) {
    state.SkipWithError("not all 48 recordings can be read as stored");
    return false;
  }
  return true;
}

// Whether SDL's device thread runs: it exists only while a device is open. It takes its name a
// moment after it starts.
bool sdlDeviceThread() {
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    if (std::getline(comm, name) && name.starts_with("SDLAudio")) return true;
  }
  return false;
}

// Whether SDL's device thread is there (`open`) or gone within `limit`.
bool deviceThreadIs(bool open, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (sdlDeviceThread() != open && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
  return sdlDeviceThread() == open;
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
// call caused by a lock from one caused by the machine.
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

// A key with no recording still takes the locks and cuts the old sound off.
void BM_PlayWave_UnknownKey(benchmark::State& state) {
  SoundPlayer player;
  if (!playerReady(state, player)) return;
  const std::string key = "999";
  for (auto _ : state) player.PlayWave(key);
}
BENCHMARK(BM_PlayWave_UnknownKey);

// Only the constructor is timed, on a cold heap; what closing costs is kept as a counter. Each
// close waits for SDL's audio thread to notice and exit, so the iteration count is fixed rather
// than left to the library, which would otherwise spend minutes in unmeasured closes.
void BM_SoundPlayerConstruct(benchmark::State& state) {
  double closeSeconds = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    auto player = std::make_unique<SoundPlayer>();
    const auto built = Clock::now();
    state.SetIterationTime(std::chrono::duration<double>(built - start).count());
    if (std::string(player->output()) != "SDL") {
      state.SkipWithError("no SDL device opened");
      return;
    }
    player.reset();
    closeSeconds += std::chrono::duration<double>(Clock::now() - built).count();
    malloc_trim(0);  // the next player meets fresh pages, as the program's one player does
  }
  state.counters["close_ms"] = 1e3 * closeSeconds / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SoundPlayerConstruct)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

// What a request costs on the window's thread when the output rests: SDL's audio and the device
// are opened again before the clip is handed over. The player rests 20 ms after the last clip
// ends, instead of the program's 5 s; the state it rests in is the same. Each iteration waits,
// untimed, until SDL's device thread is gone and then 100 ms more (SDL's audio is shut down after
// the thread), and checks that the request brought the thread back. `closing`: no 100 ms, the
// request comes while the output is still shutting SDL's audio down, as a click exactly at the end
// of the rest period would.
enum class Wake { PlayWave, Press };

void BM_AfterRest(benchmark::State& state, Wake wake, bool closing) {
  SoundPlayer player(20ms);
  if (!playerReady(state, player)) return;
  std::vector<double> ms;
  for (auto _ : state) {
    if (!deviceThreadIs(false, 10s)) {
      state.SkipWithError("the output did not rest");
      return;
    }
    if (!closing) std::this_thread::sleep_for(100ms);
    const auto start = Clock::now();
    if (wake == Wake::PlayWave) {
      player.PlayWave("101");
    } else {
      player.warm();
    }
    const auto stop = Clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
    state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
    if (!deviceThreadIs(true, 1s)) {
      state.SkipWithError("the request did not open the device again");
      return;
    }
  }
  std::sort(ms.begin(), ms.end());
  state.counters["p50_ms"] = ms[ms.size() / 2];
  state.counters["max_ms"] = ms.back();
}
BENCHMARK_CAPTURE(BM_AfterRest, PlayWave, Wake::PlayWave, false)
    ->UseManualTime()
    ->Iterations(30)
    ->Repetitions(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AfterRest, press, Wake::Press, false)
    ->UseManualTime()
    ->Iterations(30)
    ->Repetitions(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AfterRest, PlayWave_while_closing, Wake::PlayWave, true)
    ->UseManualTime()
    ->Iterations(30)
    ->Repetitions(1)
    ->Unit(benchmark::kMillisecond);

// Wake-ups (context switches) of every thread but the calling one over 10 s: with the device open
// (a rest period longer than the span), and from 1 s after it rested.
enum class Idle { Open, Resting };

void BM_IdleWakeUps(benchmark::State& state, Idle idle) {
  SoundPlayer player(idle == Idle::Open ? std::chrono::milliseconds(1h) : 20ms);
  if (!playerReady(state, player)) return;
  player.PlayWave("101");
  if (idle == Idle::Resting) {
    if (!deviceThreadIs(false, 10s)) {
      state.SkipWithError("the output did not rest");
      return;
    }
    std::this_thread::sleep_for(1s);  // the rest thread finishes closing SDL's audio
  }
  constexpr auto kSpan = 10s;
  long switches = 0;
  for (auto _ : state) {
    const long before = testbed::otherThreadSwitches();
    std::this_thread::sleep_for(kSpan);
    switches = testbed::otherThreadSwitches() - before;
    state.SetIterationTime(std::chrono::duration<double>(kSpan).count());
  }
  state.counters["wakeups"] = static_cast<double>(switches);
  state.counters["device_thread"] = sdlDeviceThread() ? 1 : 0;
}
BENCHMARK_CAPTURE(BM_IdleWakeUps, device_open, Idle::Open)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_IdleWakeUps, resting, Idle::Resting)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tessel

int main(int argc, char** argv) {
  setenv("SDL_AUDIODRIVER", "dummy", /*overwrite=*/0);
  benchmark::AddCustomContext("SDL_AUDIODRIVER", std::getenv("SDL_AUDIODRIVER"));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
