// Click-to-sound, idle wake-ups and server CPU on real sound servers: private PipeWire (with
// pipewire-pulse and WirePlumber) and PulseAudio instances with a null sink, started and stopped
// here (tests/support/sound_servers.h). Prints Markdown.
//
// Click-to-sound is the time from PlayWave to the arrival of the first audible sample on the
// sink's monitor, read by a record stream with 2 ms fragments (so it includes up to one fragment
// of the recorder's own delay): warm, with the stream running, and after a rest, with the stream
// corked and the sink suspended. The player rests here after 1 s instead of the program's 5 s;
// the state it rests in is the same, it is only reached sooner. The same figures are taken for
// SDL 2 on the server (SDL_AUDIODRIVER=pulseaudio or pipewire), the output the program had before.
//
//   tessel_sound_servers [--requests N] [--only pipewire|pulseaudio]
#include "support/sound_servers.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>

#include "bench/stats.h"
#include "sound/sound_player.h"

namespace {

using namespace std::chrono_literals;
using tessel::testing::Clock;
using tessel::testing::kSink;

// CPU time (user + system) a process has used, in milliseconds.
inline double cpuMs(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Records the null sink's monitor at 22050 Hz mono in 2 ms fragments, noting when each fragment
// arrived. Created corked, so that it keeps the sink running only between start() and stop().
class MonitorRecorder {
 public:
  MonitorRecorder() {
    loop_ = pa_threaded_mainloop_new();
    pa_threaded_mainloop_start(loop_);
    pa_threaded_mainloop_lock(loop_);
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "monitor");
    pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
    while (pa_context_get_state(context_) != PA_CONTEXT_READY && wait()) {
    }
    const pa_sample_spec spec{PA_SAMPLE_S16NE, 22050, 1};
    stream_ = pa_stream_new(context_, "monitor", &spec, nullptr);
    pa_stream_set_read_callback(stream_, &MonitorRecorder::arrived, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = 88;
    pa_stream_connect_record(
        stream_, (std::string(kSink) + ".monitor").c_str(), &attr,
        static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY));
    while (pa_stream_get_state(stream_) != PA_STREAM_READY && wait()) {
    }
    pa_threaded_mainloop_unlock(loop_);
  }
  ~MonitorRecorder() {
    pa_threaded_mainloop_lock(loop_);
    if (stream_) pa_stream_unref(stream_);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
  }
  bool ready() {
    std::lock_guard lock(mutex_);
    return stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY;
  }
  void start() { cork(0); }
  void stop() { cork(1); }

  // The samples recorded so far, and when the first fragment with a sample louder than `level`
  // at or after sample `from` arrived.
  std::vector<int16_t> samples() {
    std::lock_guard lock(mutex_);
    return samples_;
  }
  std::optional<Clock::time_point> soundAfter(std::size_t from, int level = 300) {
    std::lock_guard lock(mutex_);
    for (const auto& [end, at] : arrivals_) {
      if (end <= from) continue;
      for (std::size_t i = std::max(from, end - std::min(end, fragment_)); i < end; ++i) {
        if (std::abs(samples_[i]) > level) return at;
      }
    }
    return std::nullopt;
  }
  std::size_t size() {
    std::lock_guard lock(mutex_);
    return samples_.size();
  }

 private:
  bool wait() {
    if (pa_context_get_state(context_) == PA_CONTEXT_FAILED) return false;
    if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_FAILED) return false;
    pa_threaded_mainloop_unlock(loop_);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    pa_threaded_mainloop_lock(loop_);
    return true;
  }
  void cork(int corked) {
    pa_threaded_mainloop_lock(loop_);
    if (pa_operation* op = pa_stream_cork(stream_, corked, nullptr, nullptr)) {
      pa_operation_unref(op);
    }
    pa_threaded_mainloop_unlock(loop_);
  }
  static void arrived(pa_stream* stream, size_t, void* self) {
    auto* rec = static_cast<MonitorRecorder*>(self);
    const auto at = Clock::now();
    const void* data = nullptr;
    size_t bytes = 0;
    while (pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
      std::lock_guard lock(rec->mutex_);
      const std::size_t n = bytes / 2;
      if (data) {
        const auto* s = static_cast<const int16_t*>(data);
        rec->samples_.insert(rec->samples_.end(), s, s + n);
      } else {
        rec->samples_.resize(rec->samples_.size() + n, 0);  // a hole: silence
      }
      rec->arrivals_.emplace_back(rec->samples_.size(), at);
      rec->fragment_ = std::max(rec->fragment_, n);
      pa_stream_drop(stream);
    }
  }

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::mutex mutex_;
  std::vector<int16_t> samples_;
  std::vector<std::pair<std::size_t, Clock::time_point>> arrivals_;  // (end sample, arrival)
  std::size_t fragment_ = 0;
};

double msSince(Clock::time_point t0, Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(t - t0).count();
}

double serverCpuMs(const tessel::testing::SoundServer& server) {
  double sum = 0;
  for (pid_t pid : server.pids()) sum += cpuMs(pid);
  return sum;
}

void printRow(const char* what, const std::vector<double>& ms) {
  if (ms.empty()) {
    std::printf("| %s | no sound heard |\n", what);
    return;
  }
  std::printf("| %s | %.1f | %.1f | %.1f | %zu |\n", what, bench::quantile(ms, 0.5),
              bench::quantile(ms, 0.95), *std::max_element(ms.begin(), ms.end()), ms.size());
}

// One request while `recorder` runs: milliseconds to the first audible sample, if heard within 1 s.
// With `press`, the request is a click: the button went down (warm) that long before the release
// (PlayWave), and the time counts from the release.
std::optional<double> request(tessel::SoundPlayer& player, MonitorRecorder& recorder,
                              const std::string& key, bool startRecorder,
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

std::string key(int i) {
  return std::to_string(tessel::kFirstSoundKey + i % tessel::kSoundCount);
}

// Idle for 10 s: server CPU (ms) and wake-ups per second of this process's other threads.
std::pair<double, double> idle(const tessel::testing::SoundServer& server) {
  const double cpu = serverCpuMs(server);
  const long switches = tessel::testing::otherThreadSwitches();
  std::this_thread::sleep_for(10s);
  return {serverCpuMs(server) - cpu,
          static_cast<double>(tessel::testing::otherThreadSwitches() - switches) / 10};
}

void measure(tessel::testing::SoundServer::Kind kind, int requests) {
  const char* name = kind == tessel::testing::SoundServer::kPipeWire
                         ? "PipeWire 0.3 (pipewire-pulse, WirePlumber)"
                         : "PulseAudio 16";
  tessel::testing::SoundServer server(kind);
  if (!server.start()) {
    std::printf("%s did not start\n\n", name);
    return;
  }
  std::printf("### %s, null sink\n\n", name);
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
  for (const char* sdl :
       {"", kind == tessel::testing::SoundServer::kPipeWire ? "pipewire" : "pulseaudio"}) {
    if (*sdl)
      setenv("SDL_AUDIODRIVER", sdl, 1);
    else
      unsetenv("SDL_AUDIODRIVER");
    tessel::SoundPlayer player(1s);
    const std::string output = *sdl ? std::string("SDL 2, driver ") + sdl
                                    : std::string("Tessel (") + player.output() + " stream)";
    auto recorder = std::make_unique<MonitorRecorder>();
    recorder->start();
    std::this_thread::sleep_for(1s);  // a fresh record stream delivers its first second late
    std::vector<double> warm, rested;
    request(player, *recorder, key(0), false);  // the first request only opens SDL's device
    for (int i = 0; i < requests; ++i) {
      if (auto ms = request(player, *recorder, key(i), false)) warm.push_back(*ms);
    }
    printRow((output + " | warm").c_str(), warm);
    // Each request above comes a fixed time after a fragment of the monitor, so always at the
    // same point of the server's cycle; a person's click falls anywhere in it.
    std::vector<double> anyPhase;
    for (int i = 0; i < requests; ++i) {
      std::this_thread::sleep_for(std::chrono::microseconds(std::rand() % 11000));
      if (auto ms = request(player, *recorder, key(i), false)) anyPhase.push_back(*ms);
    }
    printRow((output + " | warm, at any point of the server's cycle").c_str(), anyPhase);
    if (!*sdl) {
      // Corked after a rest while the recorder keeps the sink running: the stream's own wake-up.
      std::vector<double> corked;
      for (int i = 0; i < requests; ++i) {
        std::this_thread::sleep_for(1500ms);
        if (auto ms = request(player, *recorder, key(i), false)) corked.push_back(*ms);
      }
      printRow((output + " | after a rest, sink kept running").c_str(), corked);
      std::vector<double> pressed;  // the same through a click on the chart (see below)
      for (int i = 0; i < requests; ++i) {
        std::this_thread::sleep_for(1500ms);
        if (auto ms = request(player, *recorder, key(i), false, 80ms)) pressed.push_back(*ms);
      }
      printRow(
          (output + " | after a rest, sink kept running, press then click 80 ms later").c_str(),
          pressed);
      for (int i = 0; i < requests; ++i) {
        recorder->stop();
        if (!server.waitForSink("SUSPENDED", 10s)) break;
        if (auto ms = request(player, *recorder, key(i), true)) rested.push_back(*ms);
      }
      printRow((output + " | after a rest, sink suspended").c_str(), rested);
      std::vector<std::pair<std::string, std::vector<double>>> sorted{{"", rested}};
      // The same through the chart, where the press on a cell warms the output: 80 ms is a
      // typical person's click, 0 a press and release at once.
      for (auto gap : {0ms, 30ms, 80ms}) {
        std::vector<double> clicked;
        for (int i = 0; i < requests; ++i) {
          recorder->stop();
          if (!server.waitForSink("SUSPENDED", 10s)) break;
          if (auto ms = request(player, *recorder, key(i), true, gap)) clicked.push_back(*ms);
        }
        const std::string what = ", press then click " + std::to_string(gap.count()) + " ms later";
        printRow((output + " | after a rest, sink suspended" + what).c_str(), clicked);
        sorted.emplace_back(what, clicked);
      }
      for (auto& [what, ms] : sorted) {
        std::sort(ms.begin(), ms.end());
        for (double m : ms) std::fprintf(stderr, "%.1f ", m);
        std::fprintf(stderr, "(%s, after a rest, sink suspended%s)\n", name, what.c_str());
      }
    }
    recorder.reset();
    std::this_thread::sleep_for(3s);  // past the rest period
    const auto [cpu, wakeups] = idle(server);
    idles.push_back({output + " open", cpu, wakeups, server.sinkState()});
  }
  std::printf(
      "\n| idle 10 s | server CPU ms | wake-ups/s of the output's threads | sink "
      "|\n|---|---|---|---|\n");
  for (const Idle& i : idles) {
    std::printf("| %s | %.0f | %.1f | %s |\n", i.output.c_str(), i.cpu, i.wakeups, i.sink.c_str());
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  int requests = 30;
  std::string only;  // "pipewire" or "pulseaudio": that server alone
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--requests" && i + 1 < argc) requests = std::max(30, std::atoi(argv[++i]));
    if (arg == "--only" && i + 1 < argc) only = argv[++i];
  }
  std::printf("## Sound on real servers (load average at the start %s)\n\n",
              bench::loadAverage().c_str());
  for (auto kind :
       {tessel::testing::SoundServer::kPipeWire, tessel::testing::SoundServer::kPulseAudio}) {
    const bool wanted =
        only.empty() || (only == "pipewire") == (kind == tessel::testing::SoundServer::kPipeWire);
    if (wanted && tessel::testing::SoundServer::installed(kind)) measure(kind, requests);
  }
  std::printf("Load average at the end: %s\n", bench::loadAverage().c_str());
}
