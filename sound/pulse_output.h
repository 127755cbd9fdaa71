// The recordings on a desktop sound server through the PulseAudio protocol (PulseAudio itself, or
// PipeWire's Pulse layer where PipeWire's own protocol cannot be used).
//
// Everything runs on libpulse's threaded main loop, driven by its callbacks; the caller's thread
// only locks that loop for a moment and never waits for the server. The output keeps a connection
// to the server and opens a playback stream only while it is needed: at rest there is no stream,
// so the server keeps the latency and wake-ups it has without Tessel, whatever else plays.
//
// A request corks the stream and flushes it (the cut-off), writes the whole clip and asks the
// server to confirm; the stream is uncorked only once the server has answered, and only if the
// request can still start then. So a server that hangs never plays a click late, and at most one
// clip is ever waiting in the connection. A request made meanwhile waits for the answer, the
// newest one only.
#pragma once

#include <chrono>
#include <cstdint>

#include "sound/output.h"

struct pa_threaded_mainloop;
struct pa_mainloop_api;
struct timeval;
struct pa_context;
struct pa_stream;
struct pa_time_event;

namespace tessel {

class PulseOutput : public Output {
 public:
  // Starts connecting to the default server; Down at once where none runs.
  explicit PulseOutput(std::chrono::milliseconds rest);
  ~PulseOutput() override;

  const char* name() const override { return "PulseAudio protocol"; }
  void play(const Request& request) override;
  // Opens and uncorks the stream, which wakes the sink; closes it again after the rest period.
  void warm() override;
  void reconnect() override;

 private:
  // These run with the loop locked, or on its thread, which holds the lock.
  void connect();
  void openStream();
  void send();
  void keepAwake(SoundClock::time_point until);
  void closeStream();
  void drop();
  bool streamReady() const;
  static void contextChanged(pa_context* context, void* self);
  static void streamChanged(pa_stream* stream, void* self);
  static void answered(pa_stream* stream, int success, void* self);
  static void restEnded(pa_mainloop_api* api, pa_time_event* event, const timeval* tv, void* self);

  std::chrono::milliseconds rest_;
  pa_threaded_mainloop* loop_ = nullptr;
  // Below: touched only with the loop locked.
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  pa_time_event* restTimer_ = nullptr;
  SoundClock::time_point awakeUntil_{};  // the stream closes then; {} while there is none
  Request waiting_;  // for the stream, or for the server to answer the one before
  Request sent_;     // written, not answered yet (or answered)
  bool unanswered_ = false;
};

}  // namespace tessel
