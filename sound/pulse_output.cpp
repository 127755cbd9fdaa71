#include "sound/pulse_output.h"

#include <pulse/pulseaudio.h>

#include <cstdio>
#include <thread>

namespace tessel {
namespace {

// The buffering asked of the server. The whole clip is written at once, beyond this target, so it
// cannot run dry; the target only sets how often the server mixes while a clip plays, and so how
// soon a new one is heard. 5 ms kept PipeWire's click-to-sound tail under 14 ms where 10 and 20 ms
// reached 16-44 ms (pipewire-pulse never goes below its 5.3 ms quantum either way).
constexpr std::chrono::milliseconds kTargetLatency{5};
// How long the constructor waits for the server before going on without it.
constexpr std::chrono::milliseconds kStartWait{500};

void discard(pa_operation* op) {
  if (op) pa_operation_unref(op);
}

}  // namespace

PulseOutput::PulseOutput(const PcmFormat& format, std::chrono::milliseconds rest)
    : format_(format), rest_(rest) {
  loop_ = pa_threaded_mainloop_new();
  if (loop_ && pa_threaded_mainloop_start(loop_) < 0) {
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
  }
  if (!loop_) {
    startError_ = "no main loop";
    return;
  }
  pa_threaded_mainloop_lock(loop_);
  connect();
  const auto deadline = std::chrono::steady_clock::now() + kStartWait;
  while (context_ && !(stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY) &&
         std::chrono::steady_clock::now() < deadline) {
    pa_threaded_mainloop_unlock(loop_);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    pa_threaded_mainloop_lock(loop_);
  }
  connectedAtStart_ = stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY;
  if (!connectedAtStart_ && startError_.empty()) startError_ = "no answer";
  outageReported_ = !connectedAtStart_;  // the caller reports it
  starting_ = false;
  pa_threaded_mainloop_unlock(loop_);
}

PulseOutput::~PulseOutput() {
  if (!loop_) return;
  pa_threaded_mainloop_lock(loop_);
  drop(nullptr);
  pa_threaded_mainloop_unlock(loop_);
  pa_threaded_mainloop_stop(loop_);
  pa_threaded_mainloop_free(loop_);
}

void PulseOutput::play(const SoundBank::Clip* clip) {
  if (!loop_) return;
  pa_threaded_mainloop_lock(loop_);
  if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY) {
    start(clip);
  } else {
    // Not ready: keep only the newest request and (re)connect without waiting for the answer.
    pending_ = clip;
    if (clip && !context_) {
      connect();
    } else if (clip && !stream_ && pa_context_get_state(context_) == PA_CONTEXT_READY) {
      openStream();
    }
  }
  pa_threaded_mainloop_unlock(loop_);
}

void PulseOutput::connect() {
  pa_context* context = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Tessel");
  if (!context) return;
  context_ = context;
  pa_context_set_state_callback(context, &PulseOutput::contextChanged, this);
  pa_context_ref(context);  // the state callback may drop it before connect returns
  if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 &&
      context_ == context) {
    drop(pa_strerror(pa_context_errno(context)));
  }
  pa_context_unref(context);
}

void PulseOutput::openStream() {
  const pa_sample_spec spec{PA_SAMPLE_S16NE, static_cast<uint32_t>(format_.rate),
                            static_cast<uint8_t>(format_.channels)};
  stream_ = pa_stream_new(context_, "kana", &spec, nullptr);
  if (!stream_) return;
  pa_stream_set_state_callback(stream_, &PulseOutput::streamChanged, this);
  const auto bytesPerMs = static_cast<uint32_t>(format_.rate * format_.channels * 2 / 1000);
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.tlength = bytesPerMs * static_cast<uint32_t>(kTargetLatency.count());
  attr.prebuf = static_cast<uint32_t>(-1);
  attr.minreq = static_cast<uint32_t>(-1);
  attr.fragsize = static_cast<uint32_t>(-1);
  const auto flags =
      static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
  if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0) {
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }
}

void PulseOutput::start(const SoundBank::Clip* clip) {
  discard(pa_stream_flush(stream_, nullptr, nullptr));  // the cut-off, even for an unknown key
  if (!clip || clip->empty()) return;
  pa_stream_write(stream_, clip->data(), clip->size(), nullptr, 0, PA_SEEK_RELATIVE);
  discard(pa_stream_cork(stream_, 0, nullptr, nullptr));
  const auto clipUs = static_cast<pa_usec_t>(clip->size()) * 1000000 /
                      static_cast<pa_usec_t>(format_.rate * format_.channels * 2);
  restAt(pa_rtclock_now() + clipUs + static_cast<pa_usec_t>(rest_.count()) * 1000);
}

void PulseOutput::warm() {
  if (!loop_) return;
  pa_threaded_mainloop_lock(loop_);
  const pa_usec_t at = pa_rtclock_now() + static_cast<pa_usec_t>(rest_.count()) * 1000;
  if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY && (!restTimer_ || at > restAt_)) {
    discard(pa_stream_cork(stream_, 0, nullptr, nullptr));
    restAt(at);
  }
  pa_threaded_mainloop_unlock(loop_);
}

void PulseOutput::restAt(std::uint64_t at) {
  restAt_ = at;
  if (restTimer_) {
    pa_context_rttime_restart(context_, restTimer_, at);
  } else {
    restTimer_ = pa_context_rttime_new(context_, at, &PulseOutput::restEnded, this);
  }
}

void PulseOutput::drop(const char* reason) {
  if (restTimer_) {
    pa_threaded_mainloop_get_api(loop_)->time_free(restTimer_);
    restTimer_ = nullptr;
  }
  if (stream_) {
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }
  if (context_) {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }
  pending_ = nullptr;
  if (reason && starting_) {
    startError_ = reason;
  } else if (reason && !outageReported_) {
    std::fprintf(stderr,
                 "tessel: the sound server is gone (%s); the kana will sound again once it is "
                 "back\n",
                 reason);
    outageReported_ = true;
  }
}

void PulseOutput::contextChanged(pa_context* context, void* self) {
  auto* out = static_cast<PulseOutput*>(self);
  switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
      out->outageReported_ = false;
      out->openStream();
      break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
      out->drop(pa_strerror(pa_context_errno(context)));
      break;
    default:
      break;
  }
}

void PulseOutput::streamChanged(pa_stream* stream, void* self) {
  auto* out = static_cast<PulseOutput*>(self);
  switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
      if (out->pending_) out->start(out->pending_);
      out->pending_ = nullptr;
      break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
      // The context lives on (a sink went away, say): the next request opens a new stream.
      pa_stream_set_state_callback(stream, nullptr, nullptr);
      pa_stream_unref(stream);
      out->stream_ = nullptr;
      out->pending_ = nullptr;
      break;
    default:
      break;
  }
}

void PulseOutput::restEnded(pa_mainloop_api* api, pa_time_event* event, const timeval*,
                            void* self) {
  auto* out = static_cast<PulseOutput*>(self);
  api->time_free(event);
  out->restTimer_ = nullptr;
  if (out->stream_) discard(pa_stream_cork(out->stream_, 1, nullptr, nullptr));
}

}  // namespace tessel
