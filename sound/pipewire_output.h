// The recordings on PipeWire, through its own protocol, where PipeWire is the desktop's sound
// server. Its PulseAudio layer never runs a client's stream on a cycle shorter than 256 frames
// (5.3 ms), so a request made there waits two or three of those before it is heard; a native
// stream asks for a shorter cycle (kPipeWireCycle) while it plays.
//
// Everything that talks to the server happens on PipeWire's own thread, driven by its events; the
// caller's thread only locks that thread's loop for a moment and never waits for an answer. The
// output connects, checks once that PipeWire has an audio sink (beside PulseAudio it runs without
// one, for screen sharing only) and opens one playback stream, filled on PipeWire's real-time
// thread straight from the current clip. A request hands the clip over through one atomic slot
// (the newest request wins, an unknown key cuts off; a request the stream could not start in time
// is dropped there) and activates the stream. Once a clip has ended and nothing else was asked for
// during the rest period the stream is deactivated: no cycles, no wake-ups, and the graph and the
// sink are free to slow down or suspend. When the server goes away everything is dropped; the
// next request connects again.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "sound/output.h"

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_registry;
struct pw_stream;
struct spa_source;

namespace tessel {

// The cycle asked of the graph while the stream runs, in frames at the usual 48 kHz. A request
// waits for the next cycle and then one or two more before the sink plays it; and while the stream
// runs, every other program on the same sink must deliver its sound on this cycle too.
inline constexpr int kPipeWireCycle = 128;

class PipeWireOutput : public Output {
 public:
  // Starts connecting; Unavailable at once where libpipewire is missing or too old. `cycle`: the
  // frames of the graph's cycle to ask for while the stream runs (the benchmarks try others).
  explicit PipeWireOutput(std::chrono::milliseconds rest, int cycle = kPipeWireCycle);
  ~PipeWireOutput() override;

  const char* name() const override { return "PipeWire"; }
  void play(const Request& request) override;
  // Activates the stream; deactivates it again after the rest period.
  void warm() override;
  void reconnect() override;

 private:
  struct Listeners;  // PipeWire's event tables and hooks
  // These run with the loop locked, or on its thread, which holds the lock.
  void connect();
  void openStream();
  void keepAwake(SoundClock::time_point until);
  void streamReady();
  void fail(const char* reason, bool forGood = false);
  void drop();
  void fill();  // on the real-time thread
  static void rested(void* self, std::uint64_t expirations);

  std::chrono::milliseconds rest_;
  int cycle_;
  std::unique_ptr<Listeners> listeners_;
  pw_thread_loop* loop_ = nullptr;
  pw_context* context_ = nullptr;
  // Below: touched only with the loop locked.
  pw_core* core_ = nullptr;
  pw_registry* registry_ = nullptr;  // while looking for an audio sink
  pw_stream* stream_ = nullptr;
  spa_source* restTimer_ = nullptr;
  int syncSeq_ = -1;
  bool sinkSeen_ = false;
  bool ready_ = false;                      // the stream is known to the server
  bool failed_ = false;                     // dropped on the loop's next turn
  bool forGood_ = false;                    // and not to be connected again
  SoundClock::time_point awakeUntil_{};     // the stream rests then; {} while it rests
  SoundClock::time_point latestStartBy_{};  // of the newest request with a clip
  RequestSlot next_;                        // handed to the real-time thread
  ClipReader playing_;                      // only on the real-time thread
};

}  // namespace tessel
