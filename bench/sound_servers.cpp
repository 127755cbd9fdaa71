// Click-to-sound, idle wake-ups and server CPU on real sound servers: private PipeWire (with
// pipewire-pulse and WirePlumber) and PulseAudio instances with a null sink, started and stopped
// here (tests/support/sound_servers.h). Prints Markdown.
//
// Click-to-sound is the time from PlayWave to the arrival of the first audible sample on the
// sink's monitor, read by the tests' MonitorRecorder, a record stream with 2 ms fragments (so it
// includes up to one fragment of the recorder's own delay): warm, with the output running, and
// after a rest, with the output resting and the sink suspended. The player rests here after 1 s
// instead of the program's 5 s; the state it rests in is the same, it is only reached sooner. The
// same figures are taken for the SDL output on the server (SDL_AUDIODRIVER=pulseaudio or
// pipewire).
//
//   tessel_sound_servers [--requests N] [--only pipewire|pulseaudio]
#include "support/sound_servers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sstream>

#include "bench/stats.h"
#include "sound/sound_player.h"

namespace {

using namespace std::chrono_literals;
using tessel::testing::Clock;
using tessel::testing::MonitorRecorder;
using tessel::testing::SoundServer;

// The fields of /proc/PID[/task/TID]/stat after the command name; field n (1-based, as in proc(5))
// is at n - 3.
std::vector<std::string> statFields(const std::string& path) {
  std::ifstream in(path);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::string> fields;
  if (text.rfind(')') == std::string::npos) return fields;
  std::istringstream words(text.substr(text.rfind(')') + 2));
  for (std::string word; words >> word;) fields.push_back(word);
  return fields;
}

// CPU time (user + system) a process has used, in milliseconds.
double cpuMs(pid_t pid) {
  const auto f = statFields("/proc/" + std::to_string(pid) + "/stat");
  if (f.size() < 13) return 0;
  return static_cast<double>(std::stoull(f[11]) + std::stoull(f[12])) * 1000.0 /
         static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double serverCpuMs(const SoundServer& server) {
  double sum = 0;
  for (pid_t pid : server.pids()) sum += cpuMs(pid);
  return sum;
}

double msSince(Clock::time_point t0, Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(t - t0).count();
}

std::string key(int i) {
  return std::to_string(tessel::kFirstSoundKey + i % tessel::kSoundCount);
}

// Playback streams on the server now (pactl list sink-inputs).
int playbackStreams() {
  const std::string list = tessel::testing::output("pactl list sink-inputs short 2>/dev/null");
  return static_cast<int>(std::count(list.begin(), list.end(), '\n'));
}

template <class Player>
bool ready(const Player& player) {
  const auto deadline = Clock::now() + 5s;
  while (std::string(player.output()) == "none" && Clock::now() < deadline)
    std::this_thread::sleep_for(10ms);
  return std::string(player.output()) != "none";
}

// One request while `recorder` runs: milliseconds to the first audible sample, if heard within 1 s.
// With `press`, the request is a click: the button went down (warm) that long before the release
// (PlayWave), and the time counts from the release.
template <class Player>
std::optional<double> request(Player& player, MonitorRecorder& recorder, const std::string& key,
                              bool startRecorder,
                              std::optional<std::chrono::milliseconds> press = std::nullopt) {
  if (press) player.warm();
  // With the press the recorder starts too, or its own start, not ours, would be timed.
  if (press && startRecorder) recorder.start();
  if (press) std::this_thread::sleep_for(*press);
  const std::size_t from = recorder.size();
  const auto t0 = Clock::now();
  player.PlayWave(key);
  if (startRecorder && !press) recorder.start();  // after the request: our stream wakes the sink
  for (auto end = t0 + 1s; Clock::now() < end; std::this_thread::sleep_for(1ms)) {
    if (auto at = recorder.soundAfter(from)) {
      std::this_thread::sleep_for(600ms);  // let it end
      return msSince(t0, *at);
    }
  }
  return std::nullopt;
}

// Click-to-sound of `requests` requests in a row, each made as `make` says.
std::vector<double> series(int requests, const std::function<std::optional<double>(int)>& make) {
  std::vector<double> ms;
  for (int i = 0; i < requests; ++i) {
    if (auto one = make(i)) ms.push_back(*one);
  }
  return ms;
}

std::string summary(const std::vector<double>& ms) {
  if (ms.empty()) return "no sound heard | | |";
  char text[96];
  std::snprintf(text, sizeof text, "%.1f | %.1f | %.1f", bench::quantile(ms, 0.5),
                bench::quantile(ms, 0.95), *std::max_element(ms.begin(), ms.end()));
  return text;
}

void printRow(const std::string& what, const std::vector<double>& ms) {
  std::printf("| %s | %s | %zu |\n", what.c_str(), summary(ms).c_str(), ms.size());
}

// A request after a rest, with the sink suspended: the recorder stops so that nothing keeps the
// sink running, and starts again with the request (or the press).
template <class Player>
std::optional<double> afterSuspend(Player& player, MonitorRecorder& recorder,
                                   const SoundServer& server, int i,
                                   std::optional<std::chrono::milliseconds> press,
                                   std::vector<int>* streams = nullptr) {
  recorder.stop();
  if (!server.waitForSink("SUSPENDED", 10s)) return std::nullopt;
  if (streams) streams->push_back(playbackStreams());
  return request(player, recorder, key(i), true, press);
}

// A warm request at a random point of the server's cycle, up to `spread` after the last one.
template <class Player>
std::optional<double> atAnyPoint(Player& player, MonitorRecorder& recorder, int i,
                                 std::chrono::microseconds spread) {
  static std::mt19937 random(17);
  std::this_thread::sleep_for(
      std::chrono::microseconds(std::uniform_int_distribution<long>(0, spread.count())(random)));
  return request(player, recorder, key(i), false);
}

// Idle for 10 s: server CPU (ms) and wake-ups per second of this process's other threads.
std::pair<double, double> idle(const SoundServer& server) {
  const double cpu = serverCpuMs(server);
  const long switches = tessel::testing::otherThreadSwitches();
  std::this_thread::sleep_for(10s);
  return {serverCpuMs(server) - cpu,
          static_cast<double>(tessel::testing::otherThreadSwitches() - switches) / 10};
}

const char* serverName(SoundServer::Kind kind) {
  return kind == SoundServer::kPipeWire ? "PipeWire 0.3 (pipewire-pulse, WirePlumber)"
                                        : "PulseAudio 16";
}

void measure(SoundServer::Kind kind, int requests) {
  const char* name = serverName(kind);
  SoundServer server(kind);
  if (!server.start()) {
    std::printf("%s did not start\n\n", name);
    return;
  }
  std::printf("### %s, null sink (load average %s)\n\n", name, bench::loadAverage().c_str());
  std::this_thread::sleep_for(2s);
  const auto [aloneCpu, aloneWakeups] = idle(server);
  std::printf(
      "| output | click-to-sound | p50 ms | p95 ms | max ms | requests "
      "|\n|---|---|---|---|---|---|\n");
  struct Idle {
    std::string output;
    double cpu, wakeups;
    std::string sink;
  };
  std::vector<Idle> idles{{"server alone", aloneCpu, aloneWakeups, server.sinkState()}};
  std::vector<std::string> notes;
  for (const char* sdl : {"", kind == SoundServer::kPipeWire ? "pipewire" : "pulseaudio"}) {
    if (*sdl)
      setenv("SDL_AUDIODRIVER", sdl, 1);
    else
      unsetenv("SDL_AUDIODRIVER");
    tessel::SoundPlayer player(1s);
    if (!ready(player)) {
      std::printf("| %s | no output |\n", *sdl ? sdl : "Tessel");
      continue;
    }
    const std::string output = *sdl ? std::string("SDL 2, driver ") + sdl
                                    : std::string("Tessel (") + player.output() + " stream)";
    auto recorder = std::make_unique<MonitorRecorder>();
    if (!recorder->ready()) {
      std::printf("| %s | the monitor could not be recorded |\n", output.c_str());
      continue;
    }
    recorder->start();
    auto row = [&](const std::string& what, const std::function<std::optional<double>(int)>& make) {
      printRow(output + " | " + what, series(requests, make));
    };
    request(player, *recorder, key(0), false);  // the first request only opens SDL's device
    row("warm", [&](int i) { return request(player, *recorder, key(i), false); });
    // Each request above comes a fixed time after a fragment of the monitor, so always at the
    // same point of the server's cycle; a person's click falls anywhere in it.
    row("warm, at any point of the server's cycle",
        [&](int i) { return atAnyPoint(player, *recorder, i, 11ms); });
    std::vector<int> streams;  // before each request after a rest, sink suspended
    if (!*sdl) {
      // After a rest while the recorder keeps the sink running: the output's own wake-up.
      for (auto press : {std::optional<std::chrono::milliseconds>{}, {80ms}}) {
        row(std::string("after a rest, sink kept running") +
                (press ? ", press then click 80 ms later" : ""),
            [&](int i) {
              std::this_thread::sleep_for(1500ms);
              return request(player, *recorder, key(i), false, press);
            });
      }
    }
    row("after a rest, sink suspended",
        [&](int i) { return afterSuspend(player, *recorder, server, i, std::nullopt, &streams); });
    // The same through the chart, where the press on a cell warms the output: 80 ms is a typical
    // person's click, 0 a press and release at once.
    for (auto gap : *sdl ? std::vector{80ms} : std::vector{0ms, 30ms, 80ms}) {
      row("after a rest, sink suspended, press then click " + std::to_string(gap.count()) +
              " ms later",
          [&](int i) { return afterSuspend(player, *recorder, server, i, gap, &streams); });
    }
    if (!streams.empty()) {
      const auto [fewest, most] = std::minmax_element(streams.begin(), streams.end());
      notes.push_back(output + ": " + std::to_string(*fewest) + "–" + std::to_string(*most));
    }
    recorder.reset();
    std::this_thread::sleep_for(3s);  // past the rest period
    const auto [cpu, wakeups] = idle(server);
    idles.push_back({output + " open", cpu, wakeups, server.sinkState()});
  }
  std::printf(
      "\nPlayback streams on the server (pactl list sink-inputs) before each request after a "
      "rest, fewest–most:");
  for (const auto& note : notes) std::printf(" %s;", note.c_str());
  std::printf(
      "\n\n| idle 10 s | server CPU ms | wake-ups/s of the output's threads | sink "
      "|\n|---|---|---|---|\n");
  for (const Idle& i : idles) {
    std::printf("| %s | %.0f | %.1f | %s |\n", i.output.c_str(), i.cpu, i.wakeups, i.sink.c_str());
  }
  std::printf("\nLoad average at the end of %s: %s\n\n", name, bench::loadAverage().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  int requests = 30;
  std::string only;  // "pipewire" or "pulseaudio": that server alone
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--requests" && i + 1 < argc) requests = std::max(1, std::atoi(argv[++i]));
    if (arg == "--only" && i + 1 < argc) only = argv[++i];
  }
  std::printf("## Sound on real servers (load average at the start %s)\n\n",
              bench::loadAverage().c_str());
  for (auto kind : {SoundServer::kPipeWire, SoundServer::kPulseAudio}) {
    const bool wanted = only.empty() || (only == "pipewire") == (kind == SoundServer::kPipeWire);
    if (wanted && SoundServer::installed(kind)) measure(kind, requests);
  }
  std::printf("Load average at the end: %s\n", bench::loadAverage().c_str());
}
