// Private sound servers with a null sink, for the sound-server tests and benchmarks. Each lives in
// its own runtime directory, which this process's environment then points at (so the player under
// test and pactl find it), and runs as root or not.
#pragma once

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
#include <string>
#include <thread>
#include <vector>

namespace tessel::testing {

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
                           ? "which pulseaudio pactl parec >/dev/null"
                           : "which pipewire pipewire-pulse wireplumber dbus-daemon pactl parec "
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

// Context switches (each wake-up of a sleeping thread is one) of this process's threads other
// than the calling one.
inline long otherThreadSwitches() {
  long total = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    if (task.path().filename() == std::to_string(::gettid())) continue;
    std::ifstream in(task.path() / "status");
    for (std::string line; std::getline(in, line);) {
      if (line.find("ctxt_switches:") != std::string::npos)
        total += std::stol(line.substr(line.find(':') + 1));
    }
  }
  return total;
}

// What the null sink plays, as parec records its monitor: 22050 Hz, mono, 16 bit.
class MonitorCapture {
 public:
  explicit MonitorCapture(const SoundServer& server) : file_(server.path("monitor.raw")) {
    std::filesystem::remove(file_);
    pid_ = spawn("parec --raw --format=s16le --rate=22050 --channels=1 --latency-msec=5 -d " +
                 std::string(kSink) + ".monitor " + file_ + " 2>/dev/null");
    for (int i = 0; i < 100 && !recording(); ++i) std::this_thread::sleep_for(30ms);
  }
  ~MonitorCapture() { stop(); }
  std::vector<int16_t> stop() {
    if (pid_) end(pid_, SIGTERM);
    pid_ = 0;
    std::ifstream in(file_, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
  }

 private:
  bool recording() const {
    std::error_code error;
    const auto size = std::filesystem::file_size(file_, error);
    return !error && size > 0;
  }

  std::string file_;
  pid_t pid_ = 0;
};

}  // namespace tessel::testing
