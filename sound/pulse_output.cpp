#include "sound/pulse_output.h"

#include <thread>

#include "sound/audio_libraries.h"

namespace tessel {
namespace {

// The buffering asked of the server. The whole clip is written at once, beyond this target, so it
// cannot run dry; the target only sets how often the server mixes while a clip plays, and so how
// soon a new one is heard. 5 ms kept PipeWire's click-to-sound tail under 14 ms where 10 and 20 ms
// reached 16-44 ms (pipewire-pulse never goes below its 5.3 ms quantum either way).
constexpr std::chrono::milliseconds kTargetLatency{5};

void discard(pa_operation* op) {
  if (op) pulse().operationUnref(op);
}

}  // namespace

PulseOutput::PulseOutput(const PcmFormat& format, std::chrono::milliseconds rest)
    : format_(format), rest_(rest) {
  if (!pulseLibrary(&startError_)) return;
  loop_ = pulse().threadedMainloopNew();
  if (loop_ && pulse().threadedMainloopStart(loop_) < 0) {
    pulse().threadedMainloopFree(loop_);
    loop_ = nullptr;
  }
  if (!loop_) {
    startError_ = "no main loop";
    return;
  }
  pulse().threadedMainloopLock(loop_);
  connect();
  const auto deadline = std::chrono::steady_clock::now() + kStartWait;
  while (context_ && !(stream_ && pulse().streamGetState(stream_) == PA_STREAM_READY) &&
         std::chrono::steady_clock::now() < deadline) {
    pulse().threadedMainloopUnlock(loop_);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    pulse().threadedMainloopLock(loop_);
  }
  const bool ready = stream_ && pulse().streamGetState(stream_) == PA_STREAM_READY;
  if (!ready && startError_.empty()) startError_ = "no answer";
  started(ready);
  pulse().threadedMainloopUnlock(loop_);
}

PulseOutput::~PulseOutput() {
  if (!loop_) return;
  pulse().threadedMainloopLock(loop_);
  drop(nullptr);
  pulse().threadedMainloopUnlock(loop_);
  pulse().threadedMainloopStop(loop_);
  pulse().threadedMainloopFree(loop_);
}

void PulseOutput::play(const SoundBank::Clip* clip) {
  if (!loop_) return;
  pulse().threadedMainloopLock(loop_);
  if (stream_ && pulse().streamGetState(stream_) == PA_STREAM_READY) {
    start(clip);
  } else {
    // Not ready: keep only the newest request and (re)connect without waiting for the answer.
    pending_ = clip;
    if (clip && !context_) {
      connect();
    } else if (clip && !stream_ && pulse().contextGetState(context_) == PA_CONTEXT_READY) {
      openStream();
    }
  }
  pulse().threadedMainloopUnlock(loop_);
}

void PulseOutput::connect() {
  pa_context* context = pulse().contextNew(pulse().threadedMainloopGetApi(loop_), "Tessel");
  if (!context) return;
  context_ = context;
  pulse().contextSetStateCallback(context, &PulseOutput::contextChanged, this);
  pulse().contextRef(context);  // the state callback may drop it before connect returns
  if (pulse().contextConnect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 &&
      context_ == context) {
    drop(pulse().strerror(pulse().contextErrno(context)));
  }
  pulse().contextUnref(context);
}

void PulseOutput::openStream() {
  const pa_sample_spec spec{PA_SAMPLE_S16NE, static_cast<uint32_t>(format_.rate),
                            static_cast<uint8_t>(format_.channels)};
  stream_ = pulse().streamNew(context_, "kana", &spec, nullptr);
  if (!stream_) return;
  pulse().streamSetStateCallback(stream_, &PulseOutput::streamChanged, this);
  const auto bytesPerMs = static_cast<uint32_t>(format_.rate * format_.channels * 2 / 1000);
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.tlength = bytesPerMs * static_cast<uint32_t>(kTargetLatency.count());
  attr.prebuf = static_cast<uint32_t>(-1);
  attr.minreq = static_cast<uint32_t>(-1);
  attr.fragsize = static_cast<uint32_t>(-1);
  const auto flags =
      static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
  if (pulse().streamConnectPlayback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0) {
    pulse().streamUnref(stream_);
    stream_ = nullptr;
  }
}

void PulseOutput::start(const SoundBank::Clip* clip) {
  discard(pulse().streamFlush(stream_, nullptr, nullptr));  // the cut-off, even for an unknown key
  if (!clip || clip->empty()) return;
  pulse().streamWrite(stream_, clip->data(), clip->size(), nullptr, 0, PA_SEEK_RELATIVE);
  discard(pulse().streamCork(stream_, 0, nullptr, nullptr));
  const auto clipUs = static_cast<pa_usec_t>(playingTime(*clip, format_).count());
  restAt(pulse().rtclockNow() + clipUs + static_cast<pa_usec_t>(rest_.count()) * 1000);
}

void PulseOutput::warm() {
  if (!loop_) return;
  pulse().threadedMainloopLock(loop_);
  const pa_usec_t at = pulse().rtclockNow() + static_cast<pa_usec_t>(rest_.count()) * 1000;
  if (stream_ && pulse().streamGetState(stream_) == PA_STREAM_READY &&
      (!restTimer_ || at > restAt_)) {
    discard(pulse().streamCork(stream_, 0, nullptr, nullptr));
    restAt(at);
  }
  pulse().threadedMainloopUnlock(loop_);
}

void PulseOutput::restAt(std::uint64_t at) {
  restAt_ = at;
  if (restTimer_) {
    pulse().contextRttimeRestart(context_, restTimer_, at);
  } else {
    restTimer_ = pulse().contextRttimeNew(context_, at, &PulseOutput::restEnded, this);
  }
}

void PulseOutput::drop(const char* reason) {
  if (restTimer_) {
    pulse().threadedMainloopGetApi(loop_)->time_free(restTimer_);
    restTimer_ = nullptr;
  }
  if (stream_) {
    pulse().streamSetStateCallback(stream_, nullptr, nullptr);
    pulse().streamDisconnect(stream_);
    pulse().streamUnref(stream_);
    stream_ = nullptr;
  }
  if (context_) {
    pulse().contextSetStateCallback(context_, nullptr, nullptr);
    pulse().contextDisconnect(context_);
    pulse().contextUnref(context_);
    context_ = nullptr;
  }
  pending_ = nullptr;
  if (reason) report(reason);
}

void PulseOutput::contextChanged(pa_context* context, void* self) {
  auto* out = static_cast<PulseOutput*>(self);
  switch (pulse().contextGetState(context)) {
    case PA_CONTEXT_READY:
      out->outageReported_ = false;
      out->openStream();
      break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
      out->drop(pulse().strerror(pulse().contextErrno(context)));
      break;
    default:
      break;
  }
}

void PulseOutput::streamChanged(pa_stream* stream, void* self) {
  auto* out = static_cast<PulseOutput*>(self);
  switch (pulse().streamGetState(stream)) {
    case PA_STREAM_READY:
      if (out->pending_) out->start(out->pending_);
      out->pending_ = nullptr;
      break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
      // The context lives on (a sink went away, say): the next request opens a new stream.
      pulse().streamSetStateCallback(stream, nullptr, nullptr);
      pulse().streamUnref(stream);
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
  if (out->stream_) discard(pulse().streamCork(out->stream_, 1, nullptr, nullptr));
}

}  // namespace tessel
