// The recordings on PipeWire, through its own protocol, where PipeWire is the desktop's sound
// server. Its PulseAudio layer never runs a client's stream on a cycle shorter than 256 frames
// (5.3 ms), so a request made there waits two or three of those before it is heard; a native
// stream asks for a 128-frame cycle (2.7 ms) while it plays.
//
// One playback stream, filled on PipeWire's real-time thread straight from the current clip. A
// request hands the clip over through one atomic slot (the newest request wins, an unknown key
// cuts off), and activates the stream. Once a clip has ended and nothing else was asked for during
// the rest period the stream is deactivated: no cycles, no wake-ups, and the graph and the sink
// are free to slow down or suspend. When the server goes away everything is dropped; the next
// request connects again, which fails at once while there is no server.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "sound/server_output.h"

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_stream;
struct spa_source;

namespace tessel {

class PipeWireOutput : public ServerOutput {
 public:
  // Connects to PipeWire and opens the stream, waiting at most about half a second. Not connected
  // where PipeWire runs without serving audio (no audio sink), as beside PulseAudio.
  PipeWireOutput(const PcmFormat& format, std::chrono::milliseconds rest);
  ~PipeWireOutput() override;

  const char* name() const override { return "PipeWire"; }
  void play(const SoundBank::Clip* clip) override;
  // Activates the stream; deactivates it again after the rest period.
  void warm() override;

 private:
  struct Listeners;  // PipeWire's event tables and hooks
  bool connect();
  void openStream();
  // The server or the stream failed: says so once per outage, then drops everything.
  void lose(const char* reason);
  void drop();
  void activate(std::chrono::steady_clock::time_point restAt);
  void fill();
  static void rested(void* self, std::uint64_t expirations);

  PcmFormat format_;
  std::chrono::milliseconds rest_;
  std::unique_ptr<Listeners> listeners_;
  pw_thread_loop* loop_ = nullptr;
  pw_context* context_ = nullptr;
  // Below: touched only with the loop locked (or from its own thread, which holds the lock).
  pw_core* core_ = nullptr;
  pw_stream* stream_ = nullptr;
  spa_source* restTimer_ = nullptr;
  std::chrono::steady_clock::time_point restAt_{};  // when the stream rests; {} while it does
  bool lost_ = false;                               // failed, not dropped yet
  bool ready_ = false;                              // the stream is known to the server
  int syncSeq_ = -1;  // the constructor's round trip, while it looks for an audio sink
  bool synced_ = false;
  bool sinkSeen_ = false;
  // The request handed to the real-time thread: the newest clip asked for, taken by the next cycle.
  std::atomic<const SoundBank::Clip*> next_{nullptr};
  // Only on the real-time thread: what plays and how far it got.
  ClipReader playing_;
};

}  // namespace tessel
