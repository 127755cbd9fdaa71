// Click-to-sound, idle wake-ups and server CPU on real sound servers: private PipeWire (with
// pipewire-pulse and WirePlumber) and PulseAudio instances with a null sink, started and stopped
// here (testbed/sound_servers.h). Prints Markdown.
//
// Click-to-sound is the time from PlayWave to the arrival of the first audible sample on the
// sink's monitor, read by the tests' MonitorRecorder, a record stream with 2 ms fragments (so it
// includes up to one fragment of the recorder's own delay): warm, with the output running, and
// after a rest, with the output resting and the sink suspended. The player rests here after 1 s
// instead of the program's 5 s; the state it rests in is the same, it is only reached sooner. The
// same figures are taken for the SDL output on the server (SDL_AUDIODRIVER=pulseaudio or
// pipewire).
//
// `--cycles` measures instead what the PipeWire output's cycle (kPipeWireCycle) gains us and
// what it costs other programs, for 128, 256, 512 and 1024 frames (see cycleStudy below).
//
//   tessel_sound_servers [--requests N] [--only pipewire|pulseaudio]
//   tessel_sound_servers --cycles [--requests N] [--runs N] [--player pw-play|pacat]
#include "testbed/sound_servers.h"

#include <sys/prctl.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numbers>
#include <optional>
#include <random>
#include <sstream>

#include "bench/stats.h"
#include "sound/pipewire_output.h"
#include "sound/sound_player.h"

namespace {

using namespace std::chrono_literals;
using tessel::testbed::Clock;
using tessel::testbed::MonitorRecorder;
using tessel::testbed::SoundServer;

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

// How the threads of process `pid` are scheduled and how often each woke over `span`: "name
// (FIFO 88) 375/s, name (other) 2/s, ..." (proc(5) stat fields 40 and 41, and voluntary switches).
std::string threadsOf(const std::string& pid, std::chrono::milliseconds span) {
  static const char* const kPolicies[] = {"other", "FIFO", "RR", "batch", "iso", "idle"};
  const auto wakeups = [](const std::filesystem::path& task) {
    std::ifstream in(task / "status");
    for (std::string line; std::getline(in, line);) {
      if (line.starts_with("voluntary_ctxt_switches:")) return std::stol(line.substr(24));
    }
    return 0L;
  };
  std::vector<std::pair<std::filesystem::path, long>> tasks;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + pid + "/task", error))
    tasks.emplace_back(task.path(), wakeups(task.path()));
  std::this_thread::sleep_for(span);
  std::string out;
  for (const auto& [task, before] : tasks) {
    const auto f = statFields((task / "stat").string());
    std::ifstream comm(task / "comm");
    std::string name;
    std::getline(comm, name);
    if (f.size() < 39) continue;
    const int policy = std::stoi(f[38]);
    const bool realTime = policy == 1 || policy == 2;
    char entry[160];
    std::snprintf(entry, sizeof entry, "%s%s (%s%s%s) %.0f/s", out.empty() ? "" : ", ",
                  name.c_str(), policy >= 0 && policy < 6 ? kPolicies[policy] : "?",
                  realTime ? " " : "", realTime ? f[37].c_str() : "",
                  span.count() ? static_cast<double>(wakeups(task) - before) * 1000.0 /
                                     static_cast<double>(span.count())
                               : 0.0);
    out += entry;
  }
  return out;
}

double msSince(Clock::time_point t0, Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(t - t0).count();
}

std::string key(int i) {
  return std::to_string(tessel::kFirstSoundKey + i % tessel::kSoundCount);
}

// Playback streams on the server now (pactl list sink-inputs).
int playbackStreams() {
  const std::string list = tessel::testbed::output("pactl list sink-inputs short 2>/dev/null");
  return static_cast<int>(std::count(list.begin(), list.end(), '\n'));
}

// Requests go to one output directly, as SoundPlayer::PlayWave hands them on once it has an
// output; for trying the PipeWire output with another cycle.
class OneOutput {
 public:
  explicit OneOutput(std::unique_ptr<tessel::Output> out) : out_(std::move(out)) {}
  void PlayWave(const std::string& name) {
    out_->play(tessel::Request::at(tessel::SoundClock::now(), bank_.clip(name)));
  }
  void warm() { out_->warm(); }
  const char* output() const {
    return out_->state() == tessel::Output::State::Ready ? out_->name() : "none";
  }

 private:
  std::unique_ptr<tessel::Output> out_;
  tessel::SoundBank bank_;
};

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
  const long switches = tessel::testbed::otherThreadSwitches();
  std::this_thread::sleep_for(10s);
  return {serverCpuMs(server) - cpu,
          static_cast<double>(tessel::testbed::otherThreadSwitches() - switches) / 10};
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

// --- The PipeWire cycle ---------------------------------------------------------------------
//
// What a cycle gains us: click-to-sound warm (at any point of the longest cycle tried) and after
// a rest with the sink suspended, through the PipeWire output alone with that cycle.
//
// What it costs other programs: another program plays a continuous 440 Hz tone on the same sink
// while Tessel's stream is kept running (warm() every second) or rests (the control), with the CPU
// idle or with two processes busy at normal priority (a bare counting loop each, one per core of
// this machine). The other program is pw-play, PipeWire's own player, asking for a 1024-frame
// cycle, or pacat, a PulseAudio client with a 200 ms buffer served by pipewire-pulse. The sink's
// monitor is recorded for 10 s; a hole is a run of near-silence (every sample under 300, the tone
// peaks at 12000) of 1 ms or more, which the tone has nowhere else; a jump is a step between two
// samples more than three times the tone's steepest, not within 1 ms of a hole (the tone picked up
// at another point: sound lost or repeated without silence), counted once per millisecond.

constexpr int kCycles[] = {128, 256, 512, 1024};
constexpr double kToneHz = 440, kToneAmplitude = 12000;

// A mono 48 kHz, 16-bit WAV file of the tone, `seconds` long.
void writeTone(const std::string& path, int seconds) {
  constexpr std::uint32_t kRate = 48000;
  const std::uint32_t frames = kRate * static_cast<std::uint32_t>(seconds);
  std::ofstream out(path, std::ios::binary);
  const auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  const auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  out.write("RIFF", 4);
  u32(36 + 2 * frames);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(1);
  u32(kRate);
  u32(2 * kRate);
  u16(2);
  u16(16);
  out.write("data", 4);
  u32(2 * frames);
  for (std::uint32_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(
        std::lround(kToneAmplitude * std::sin(2 * std::numbers::pi * kToneHz * t)))));
  }
}

// Processes that keep CPUs busy at normal priority while they live.
class Busy {
 public:
  explicit Busy(int count) {
    for (int i = 0; i < count; ++i) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        volatile unsigned long n = 0;
        for (;;) n = n + 1;
      }
      pids_.push_back(pid);
    }
  }
  ~Busy() {
    for (pid_t pid : pids_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  std::vector<pid_t> pids_;
};

struct Holes {
  int count = 0;
  double totalMs = 0, longestMs = 0;
  int jumps = 0;
};

Holes holesIn(const std::vector<int16_t>& s) {
  constexpr double kRate = MonitorRecorder::kRate;
  constexpr int kQuiet = 300;
  const auto ms = static_cast<std::size_t>(kRate / 1000);
  const double steepest = kToneAmplitude * 2 * std::numbers::pi * kToneHz / kRate;
  Holes holes;
  std::vector<std::pair<std::size_t, std::size_t>> spans;  // of the holes, with 1 ms either side
  for (std::size_t i = 0; i < s.size();) {
    std::size_t end = i;
    while (end < s.size() && std::abs(s[end]) < kQuiet) ++end;
    if (end - i >= ms) {
      ++holes.count;
      const double length = 1000.0 * static_cast<double>(end - i) / kRate;
      holes.totalMs += length;
      holes.longestMs = std::max(holes.longestMs, length);
      spans.emplace_back(i > ms ? i - ms : 0, end + ms);
    }
    i = end + 1;
  }
  std::size_t lastJump = 0;
  for (std::size_t i = 1, span = 0; i < s.size(); ++i) {
    while (span < spans.size() && spans[span].second <= i) ++span;
    if (span < spans.size() && spans[span].first <= i) continue;
    if (std::abs(s[i] - s[i - 1]) <= 3 * steepest) continue;
    if (holes.jumps == 0 || i - lastJump > ms) ++holes.jumps;  // one per millisecond
    lastJump = i;
  }
  return holes;
}

struct TonePlayer {
  const char* name;
  const char* command;  // the tone's file follows
};
constexpr TonePlayer kTonePlayers[] = {
    {"pw-play", "pw-play --latency=1024 "},
    {"pacat", "pacat --file-format=wav --latency-msec=200 "},
};

// What Tessel does beside the player: rests (made, never asked for anything), or runs at a
// cycle. Its fill thread runs at normal priority, as the program's does (its context reads
// PipeWire's client.conf), or, to see what that costs, real-time (client-rt.conf, which loads
// PipeWire's module-rt).
struct Beside {
  std::optional<int> cycle;
  bool realTime = false;
  std::string label() const {
    if (!cycle) return "resting";
    return std::to_string(*cycle) + " frames, running" + (realTime ? ", real-time fill" : "");
  }
};

struct CostRun {
  std::string player;
  std::string load;  // "idle CPU" or "2 busy processes"
  std::string tessel;
  bool tesselRealTime = false;  // whether any of this process's threads ran real-time
  Holes holes;
  double seconds = 0;
  double playerWakeups = 0;  // per second, the tone player's
  double serverWakeups = 0;  // per second, all of the server's processes
  double serverCpu = 0;      // ms
  std::string loadAverage;
};

// 10 s of the tone played by `tonePlayer` beside Tessel doing `beside`, with `busy` busy processes.
CostRun costRun(const SoundServer& server, const std::string& tone, const TonePlayer& tonePlayer,
                const Beside& beside, int busy) {
  CostRun run;
  run.player = tonePlayer.name;
  run.load = busy ? std::to_string(busy) + " busy processes" : "idle CPU";
  run.tessel = beside.label();
  const pid_t player = tessel::testbed::spawn(tonePlayer.command + tone);
  if (beside.realTime) ::setenv("PIPEWIRE_CONFIG_NAME", "client-rt.conf", 1);
  OneOutput tessel(std::make_unique<tessel::PipeWireOutput>(
      tessel::kRestAfterSound, beside.cycle.value_or(tessel::kPipeWireCycle)));
  ::unsetenv("PIPEWIRE_CONFIG_NAME");
  if (!ready(tessel)) {
    tessel::testbed::end(player, SIGTERM);
    return run;
  }
  if (beside.cycle) tessel.warm();
  // With long fragments, so that the recorder leaves the cycle to the player and to Tessel.
  auto recorder = std::make_unique<MonitorRecorder>(100ms);
  std::unique_ptr<Busy> load;
  if (busy) load = std::make_unique<Busy>(busy);
  std::this_thread::sleep_for(1s);
  run.loadAverage = bench::loadAverage();
  run.tesselRealTime = threadsOf("self", 0ms).find("FIFO") != std::string::npos;
  const long playerSwitches = tessel::testbed::threadSwitches(std::to_string(player));
  const long serverSwitches = tessel::testbed::serverSwitches(server);
  const double serverCpu = serverCpuMs(server);
  const std::size_t from = recorder->size();
  const auto t0 = Clock::now();
  recorder->start();
  for (int second = 0; second < 10; ++second) {
    std::this_thread::sleep_for(1s);
    if (beside.cycle) tessel.warm();
  }
  recorder->stop();
  run.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  run.playerWakeups = static_cast<double>(tessel::testbed::threadSwitches(std::to_string(player)) -
                                          playerSwitches) /
                      run.seconds;
  run.serverWakeups =
      static_cast<double>(tessel::testbed::serverSwitches(server) - serverSwitches) / run.seconds;
  run.serverCpu = serverCpuMs(server) - serverCpu;
  load.reset();
  // Without the first and last 50 ms: the recorder's own start and stop.
  std::vector<int16_t> left = recorder->channel(0, from);
  const std::size_t edge = MonitorRecorder::kRate / 20;
  if (left.size() > 2 * edge) {
    left = std::vector<int16_t>(left.begin() + static_cast<long>(edge),
                                left.end() - static_cast<long>(edge));
  }
  run.holes = holesIn(left);
  recorder.reset();
  tessel::testbed::end(player, SIGTERM);
  return run;
}

void cycleStudy(int requests, int runs, const std::string& onlyPlayer) {
  SoundServer server(SoundServer::kPipeWire);
  if (!server.start()) {
    std::printf("PipeWire did not start\n");
    return;
  }
  std::printf("### What the cycle gains us (load average %s)\n\n", bench::loadAverage().c_str());
  std::printf(
      "The PipeWire output alone on the server, resting 1 s after a clip; %d requests a row. "
      "Warm: at a random point of up to 22 ms (the longest cycle tried) after the last request "
      "ended. After a rest: the sink suspended, as in the main table.\n\n",
      requests);
  std::printf(
      "| cycle | warm p50 ms | p95 ms | max ms | after a rest p50 ms | p95 ms | max ms | heard "
      "|\n|---|---|---|---|---|---|---|---|\n");
  for (int cycle : kCycles) {
    OneOutput player(std::make_unique<tessel::PipeWireOutput>(1s, cycle));
    auto recorder = std::make_unique<MonitorRecorder>();
    if (!ready(player) || !recorder->ready()) {
      std::printf("| %d | no output |\n", cycle);
      continue;
    }
    recorder->start();
    request(player, *recorder, key(0), false);
    const auto warm =
        series(requests, [&](int i) { return atAnyPoint(player, *recorder, i, 22ms); });
    const auto rested = series(
        requests, [&](int i) { return afterSuspend(player, *recorder, server, i, std::nullopt); });
    std::printf("| %d (%.1f ms) | %s | %s | %zu + %zu |\n", cycle, cycle / 48.0,
                summary(warm).c_str(), summary(rested).c_str(), warm.size(), rested.size());
  }
  std::printf("\nLoad average after these rows: %s\n\n", bench::loadAverage().c_str());

  const std::string tone = server.path("tone.wav");
  writeTone(tone, 30);
  std::printf("### What the cycle costs another program\n\n");
  {
    // The threads' scheduling, seen once while the tone plays beside a running Tessel.
    const pid_t player = tessel::testbed::spawn("pw-play --latency=1024 " + tone);
    OneOutput tessel(std::make_unique<tessel::PipeWireOutput>(tessel::kRestAfterSound));
    ready(tessel);
    tessel.warm();
    std::this_thread::sleep_for(1s);
    std::printf(
        "Each thread's scheduling (policy, real-time priority) and wake-ups over 1 s, with Tessel "
        "running at %d frames beside the tone, idle CPU. pipewire: %s. pw-play: %s. This "
        "process (Tessel's output and the benchmark's main thread): %s.\n\n",
        tessel::kPipeWireCycle, threadsOf(std::to_string(server.pids().at(0)), 1s).c_str(),
        threadsOf(std::to_string(player), 1s).c_str(), threadsOf("self", 1s).c_str());
    tessel::testbed::end(player, SIGTERM);
  }
  std::vector<Beside> conditions{{}};
  for (int cycle : kCycles) conditions.push_back({cycle});
  conditions.push_back({tessel::kPipeWireCycle, true});
  std::vector<CostRun> all;
  std::printf(
      "| run | other program | CPU | Tessel | holes ≥ 1 ms | their ms | longest ms | jumps | its "
      "wake-ups/s | server wake-ups/s | server CPU ms | a thread of ours real-time | load average "
      "|\n|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (int r = 1; r <= runs; ++r) {
    for (const TonePlayer& player : kTonePlayers) {
      if (!onlyPlayer.empty() && onlyPlayer != player.name) continue;
      for (int busy : {0, 2}) {
        std::vector<Beside> order = conditions;
        if (r % 2 == 0) std::reverse(order.begin(), order.end());
        for (const Beside& beside : order) {
          const CostRun run = costRun(server, tone, player, beside, busy);
          std::printf(
              "| %d | %s | %s | %s | %d | %.1f | %.1f | %d | %.0f | %.0f | %.0f | %s | %s |\n", r,
              run.player.c_str(), run.load.c_str(), run.tessel.c_str(), run.holes.count,
              run.holes.totalMs, run.holes.longestMs, run.holes.jumps, run.playerWakeups,
              run.serverWakeups, run.serverCpu, run.tesselRealTime ? "yes" : "no",
              run.loadAverage.c_str());
          std::fflush(stdout);
          all.push_back(run);
        }
      }
    }
  }
  std::printf("\nAll runs together (%d of 10 s each):\n\n", runs);
  std::printf(
      "| other program | CPU | Tessel | holes ≥ 1 ms | their ms | longest ms | jumps "
      "|\n|---|---|---|---|---|---|---|\n");
  for (const TonePlayer& player : kTonePlayers) {
    for (const char* load : {"idle CPU", "2 busy processes"}) {
      for (const Beside& beside : conditions) {
        Holes sum;
        int counted = 0;
        for (const CostRun& run : all) {
          if (run.player != player.name || run.load != load || run.tessel != beside.label())
            continue;
          ++counted;
          sum.count += run.holes.count;
          sum.totalMs += run.holes.totalMs;
          sum.longestMs = std::max(sum.longestMs, run.holes.longestMs);
          sum.jumps += run.holes.jumps;
        }
        if (counted == 0) continue;
        std::printf("| %s | %s | %s | %d | %.1f | %.1f | %d |\n", player.name, load,
                    beside.label().c_str(), sum.count, sum.totalMs, sum.longestMs, sum.jumps);
      }
    }
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  int requests = 30, runs = 3;
  bool cycles = false;
  std::string only;    // "pipewire" or "pulseaudio": that server alone
  std::string player;  // with --cycles: "pw-play" or "pacat" alone
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--requests" && i + 1 < argc) requests = std::max(1, std::atoi(argv[++i]));
    if (arg == "--runs" && i + 1 < argc) runs = std::max(0, std::atoi(argv[++i]));
    if (arg == "--only" && i + 1 < argc) only = argv[++i];
    if (arg == "--cycles") cycles = true;
    if (arg == "--player" && i + 1 < argc) player = argv[++i];
  }
  std::printf("## Sound on real servers (load average at the start %s)\n\n",
              bench::loadAverage().c_str());
  if (cycles) {
    if (SoundServer::installed(SoundServer::kPipeWire)) cycleStudy(requests, runs, player);
  } else {
    for (auto kind : {SoundServer::kPipeWire, SoundServer::kPulseAudio}) {
      const bool wanted = only.empty() || (only == "pipewire") == (kind == SoundServer::kPipeWire);
      if (wanted && SoundServer::installed(kind)) measure(kind, requests);
    }
  }
  std::printf("Load average at the end: %s\n", bench::loadAverage().c_str());
}
