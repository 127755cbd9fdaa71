// Private sound servers with a null sink, for the sound-server tests and the benchmarks. Each lives
// in its own runtime directory, which this process's environment then points at (so the player
// under test and pactl find it), and runs as root or not.
#pragma once

#include <pulse/pulseaudio.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sound/sound_bank.h"

namespace tessel::testbed {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
inline constexpr const char* kSink = "test_sink";

// Runs a shell command as a child that becomes the command itself (so its pid is the command's).
// The child ends with this thread (the test's own), even if a timeout kills the process before
// the destructors run.
inline pid_t spawn(const std::string& command) {
  const std::string line = "exec " + command;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    ::execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

inline void end(pid_t pid, int signal) {
  ::kill(pid, signal);
  ::kill(pid, SIGCONT);  // a stopped process takes no other signal
  ::waitpid(pid, nullptr, 0);
}

inline std::string output(const std::string& command) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  for (char buf[256]; p && std::fgets(buf, sizeof buf, p);) out += buf;
  if (p) ::pclose(p);
  return out;
}

class SoundServer {
 public:
  // kPipeWireWithoutAudio: the PipeWire daemon alone, with no sink, as where it runs beside
  // PulseAudio only for screen sharing.
  enum Kind { kPulseAudio, kPipeWire, kPipeWireWithoutAudio };

  static bool installed(Kind kind) {
    return std::system(kind == kPulseAudio
                           ? "which pulseaudio pactl pacat >/dev/null"
                           : "which pipewire pipewire-pulse wireplumber dbus-daemon pactl pacat "
                             ">/dev/null") == 0;
  }

  explicit SoundServer(Kind kind) : kind_(kind) {
    char dir[] = "/tmp/tessel-server-XXXXXX";
    dir_ = ::mkdtemp(dir);
    for (const char* name : {"PULSE_SERVER", "PULSE_SINK", "DISPLAY", "PIPEWIRE_REMOTE"}) {
      ::unsetenv(name);
    }
    for (const char* name : {"XDG_RUNTIME_DIR", "HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"}) {
      ::setenv(name, dir_.c_str(), 1);
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + path("bus")).c_str(), 1);
    const std::string sink = kSink;
    if (kind_ == kPulseAudio) {
      std::ofstream(path("server.pa"))
          << "load-module module-null-sink sink_name=" + sink +
                 "\nload-module module-native-protocol-unix\n"
                 "load-module module-suspend-on-idle timeout=1\nset-default-sink " +
                 sink + "\n";
      return;
    }
    std::filesystem::create_directories(path("pipewire/pipewire.conf.d"));
    if (kind_ == kPipeWire) {
      std::ofstream(path("pipewire/pipewire.conf.d/null-sink.conf"))
          << "context.objects = [ { factory = adapter args = { factory.name = "
             "support.null-audio-sink node.name = \"" +
                 sink +
                 "\" media.class = Audio/Sink audio.position = [ FL FR ] "
                 "session.suspend-timeout-seconds = 1 } } ]\n";
    }
    bus_ = spawn("dbus-daemon --session --nofork --address=unix:path=" + path("bus") + log());
  }
  ~SoundServer() {
    stop(SIGTERM);
    if (bus_) end(bus_, SIGTERM);
    std::filesystem::remove_all(dir_);
  }

  // Starts the server and waits (up to 10 s) until its null sink is the default.
  bool start() {
    if (kind_ == kPulseAudio) {
      pids_ = {spawn("pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no -F " +
                     path("server.pa") + log())};
    } else if (kind_ == kPipeWireWithoutAudio) {
      pids_ = {spawn("pipewire" + log())};
      for (int i = 0; i < 200 && !std::filesystem::exists(path("pipewire-0")); ++i)
        std::this_thread::sleep_for(10ms);
      return std::filesystem::exists(path("pipewire-0"));
    } else {
      pids_ = {spawn("pipewire" + log())};
      std::this_thread::sleep_for(200ms);
      pids_.push_back(spawn("wireplumber" + log()));
      pids_.push_back(spawn("pipewire-pulse" + log()));
    }
    for (int i = 0; i < 200; ++i, std::this_thread::sleep_for(50ms)) {
      if (output("pactl get-default-sink 2>/dev/null") == std::string(kSink) + "\n") return true;
    }
    return false;
  }
  void stop(int signal) {
    for (pid_t pid : pids_) end(pid, signal);
    pids_.clear();
  }
  // Stops (SIGSTOP) or resumes (SIGCONT) every process of the server, as a hung server is.
  void signal(int signal) {
    for (pid_t pid : pids_) ::kill(pid, signal);
  }

  // RUNNING, IDLE or SUSPENDED; empty while the sink is not there.
  std::string sinkState() const {
    return output("pactl list sinks short 2>/dev/null | awk '$2 == \"" + std::string(kSink) +
                  "\" { printf \"%s\", $NF }'");
  }
  bool waitForSink(const std::string& state, std::chrono::seconds limit) const {
    const auto deadline = Clock::now() + limit;
    while (sinkState() != state && Clock::now() < deadline) std::this_thread::sleep_for(100ms);
    return sinkState() == state;
  }
  const std::vector<pid_t>& pids() const { return pids_; }
  std::string path(const char* name) const { return (dir_ / name).string(); }

 private:
  std::string log() const { return " >>" + path("server.log") + " 2>&1"; }

  Kind kind_;
  std::filesystem::path dir_;
  pid_t bus_ = 0;
  std::vector<pid_t> pids_;
};

// Wake-ups (voluntary context switches: a thread went to sleep and was woken again) of the threads
// of process `pid` ("self" for this one), leaving out the thread `except`. Involuntary switches
// are left out: they count how often the scheduler took the CPU away, which is the machine's
// load, not the program's doing.
inline long threadSwitches(const std::string& pid, pid_t except = 0) {
  long total = 0;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + pid + "/task", error)) {
    if (task.path().filename() == std::to_string(except)) continue;
    std::ifstream in(task.path() / "status");
    for (std::string line; std::getline(in, line);) {
      if (line.starts_with("voluntary_ctxt_switches:"))
        total += std::stol(line.substr(line.find(':') + 1));
    }
  }
  return total;
}

// Those of this process's threads other than the calling one.
inline long otherThreadSwitches() {
  return threadSwitches("self", ::gettid());
}

// Those of the server's processes, all threads.
inline long serverSwitches(const SoundServer& server) {
  long total = 0;
  for (pid_t pid : server.pids()) total += threadSwitches(std::to_string(pid));
  return total;
}

// The latency the null sink was configured for, in microseconds, as its server reports it.
inline long sinkLatencyUs() {
  const std::string text =
      output("pactl list sinks 2>/dev/null | sed -n 's/.*configured \\([0-9]*\\) usec.*/\\1/p'");
  return text.empty() ? -1 : std::stol(text);
}

// Records the null sink's monitor, both channels at the recordings' own rate, noting when each
// fragment arrived. Created corked, so that it keeps the sink running only between start() and
// stop(). Connects to the server in the environment, as the player does. The fragment it asks for
// sets how soon sound arrives, and on PipeWire also the graph's cycle while it records: a long one
// leaves the cycle to the other programs.
class MonitorRecorder {
 public:
  static constexpr int kRate = kRecordingFormat.rate;
  explicit MonitorRecorder(std::chrono::milliseconds fragment = std::chrono::milliseconds(2)) {
    loop_ = pa_threaded_mainloop_new();
    pa_threaded_mainloop_start(loop_);
    pa_threaded_mainloop_lock(loop_);
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "monitor");
    pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
    while (pa_context_get_state(context_) != PA_CONTEXT_READY && wait()) {
    }
    const pa_sample_spec spec{PA_SAMPLE_S16NE, kRate, 2};
    stream_ = pa_stream_new(context_, "monitor", &spec, nullptr);
    pa_stream_set_read_callback(stream_, &MonitorRecorder::arrived, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(fragment.count() * 4 * kRate / 1000);
    pa_stream_connect_record(
        stream_, (std::string(kSink) + ".monitor").c_str(), &attr,
        static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY));
    while (pa_stream_get_state(stream_) != PA_STREAM_READY && wait()) {
    }
    pa_threaded_mainloop_unlock(loop_);
    // A fresh record stream delivers its first second or so late; after that, at once.
    start();
    for (int i = 0; i < 300 && size() < kRate; ++i) std::this_thread::sleep_for(10ms);
    stop();
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
  MonitorRecorder(const MonitorRecorder&) = delete;
  MonitorRecorder& operator=(const MonitorRecorder&) = delete;

  bool ready() {
    std::lock_guard lock(mutex_);
    return stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY;
  }
  void start() { cork(0); }
  void stop() { cork(1); }

  // Frames recorded so far.
  std::size_t size() {
    std::lock_guard lock(mutex_);
    return frames_.size() / 2;
  }
  // One channel (0 left, 1 right) from frame `from` on.
  std::vector<int16_t> channel(int which, std::size_t from = 0) {
    std::lock_guard lock(mutex_);
    std::vector<int16_t> out;
    for (std::size_t i = 2 * from + static_cast<std::size_t>(which); i < frames_.size(); i += 2)
      out.push_back(frames_[i]);
    return out;
  }
  // When the first fragment with a sample louder than `level` at or after frame `from` arrived.
  std::optional<Clock::time_point> soundAfter(std::size_t from, int level = 300) {
    std::lock_guard lock(mutex_);
    for (const auto& [end, at] : arrivals_) {
      if (end <= from) continue;
      for (std::size_t i = 2 * std::max(from, end - std::min(end, fragment_)); i < 2 * end; ++i) {
        if (std::abs(frames_[i]) > level) return at;
      }
    }
    return std::nullopt;
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
        rec->frames_.insert(rec->frames_.end(), s, s + n);
      } else {
        rec->frames_.resize(rec->frames_.size() + n, 0);  // a hole: silence
      }
      rec->arrivals_.emplace_back(rec->frames_.size() / 2, at);
      rec->fragment_ = std::max(rec->fragment_, n / 2);
      pa_stream_drop(stream);
    }
  }

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::mutex mutex_;
  std::vector<int16_t> frames_;                                      // interleaved, left then right
  std::vector<std::pair<std::size_t, Clock::time_point>> arrivals_;  // (end frame, arrival)
  std::size_t fragment_ = 0;                                         // frames, the largest
};

}  // namespace tessel::testbed
