// The recordings on a desktop sound server, through the PulseAudio protocol (PulseAudio itself,
// or PipeWire's pipewire-pulse, which serves the same protocol).
//
// One playback stream on libpulse's threaded main loop. It is created corked; a request flushes
// whatever is still queued (the cut-off), writes the whole clip at once and uncorks. Once a clip
// has ended and nothing else was asked for during the rest period, the stream is corked again, so
// the program holds no running stream, makes no audio wake-ups and lets the server suspend the
// sink. When the server goes away the stream and context are dropped; the next request connects
// again, never waiting on the caller's thread, and plays once the new stream is ready.
#pragma once

#include <chrono>
#include <cstdint>

#include "sound/server_output.h"

struct pa_threaded_mainloop;
struct pa_mainloop_api;
struct timeval;
struct pa_context;
struct pa_stream;
struct pa_time_event;

namespace tessel {

class PulseOutput : public ServerOutput {
 public:
  // Connects to the default server and opens the stream, waiting at most about half a second.
  PulseOutput(const PcmFormat& format, std::chrono::milliseconds rest);
  ~PulseOutput() override;

  const char* name() const override { return "PulseAudio protocol"; }
  void play(const SoundBank::Clip* clip) override;
  // Uncorks the stream; corks it again after the rest period.
  void warm() override;

 private:
  void connect();
  void openStream();
  void start(const SoundBank::Clip* clip);
  void drop(const char* reason);
  void restAt(std::uint64_t at);
  static void contextChanged(pa_context* context, void* self);
  static void streamChanged(pa_stream* stream, void* self);
  static void restEnded(pa_mainloop_api* api, pa_time_event* event, const timeval* tv, void* self);

  PcmFormat format_;
  std::chrono::milliseconds rest_;
  pa_threaded_mainloop* loop_ = nullptr;
  // Below: touched only with the loop locked (or from its own thread, which holds the lock).
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  pa_time_event* restTimer_ = nullptr;
  std::uint64_t restAt_ = 0;                  // when restTimer_ fires, on pa_rtclock_now's clock
  const SoundBank::Clip* pending_ = nullptr;  // asked for while (re)connecting
};

}  // namespace tessel
