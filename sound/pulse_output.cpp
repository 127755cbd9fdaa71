#include "sound/pulse_output.h"

#include <string>

#include "sound/audio_libraries.h"

namespace tessel {
namespace {

// The buffering asked of the server. The whole clip is written at once, beyond this target, so it
// cannot run dry; the target only sets how often the server mixes while a clip plays, and so how
// soon a new one is heard.
constexpr std::chrono::milliseconds kTargetLatency{5};

void discard(pa_operation* op) {
  if (op) pulse().operationUnref(op);
}

}  // namespace

PulseOutput::PulseOutput(std::chrono::milliseconds rest) : rest_(rest) {
  std::string missing;
  if (!pulseLibrary(&missing)) {
    setProblem(missing);
    setState(State::Unavailable);
    return;
  }
  loop_ = pulse().threadedMainloopNew();
  if (loop_ && pulse().threadedMainloopStart(loop_) < 0) {
    pulse().threadedMainloopFree(loop_);
    loop_ = nullptr;
  }
  if (!loop_) {
    setProblem("no main loop");
    setState(State::Unavailable);
    return;
  }
  pulse().threadedMainloopLock(loop_);
  connect();
  pulse().threadedMainloopUnlock(loop_);
}

PulseOutput::~PulseOutput() {
  if (!loop_) return;
  pulse().threadedMainloopLock(loop_);
  drop();
  pulse().threadedMainloopUnlock(loop_);
  pulse().threadedMainloopStop(loop_);
  pulse().threadedMainloopFree(loop_);
}

void PulseOutput::connect() {
  pa_context* context = pulse().contextNew(pulse().threadedMainloopGetApi(loop_), "Tessel");
  if (!context) {
    setProblem("no context");
    setState(State::Down);
    return;
  }
  context_ = context;
  setState(State::Starting);
  pulse().contextSetStateCallback(context, &PulseOutput::contextChanged, this);
  pulse().contextRef(context);  // a failure is reported, and the context dropped, before it returns
  if (pulse().contextConnect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 &&
      context_ == context) {
    const std::string why = pulse().strerror(pulse().contextErrno(context));
    drop();
    lost(why);
  }
  pulse().contextUnref(context);
}

void PulseOutput::reconnect() {
  if (!loop_) return;
  pulse().threadedMainloopLock(loop_);
  if (state() == State::Down) connect();
  pulse().threadedMainloopUnlock(loop_);
}

void PulseOutput::openStream() {
  constexpr PcmFormat kFormat = kRecordingFormat;
  static_assert(kFormat.bytesPerSample == 2);
  const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<uint32_t>(kFormat.rate),
                            static_cast<uint8_t>(kFormat.channels)};
  stream_ = pulse().streamNew(context_, "kana", &spec, nullptr);
  if (!stream_) return;
  pulse().streamSetStateCallback(stream_, &PulseOutput::streamChanged, this);
  const auto bytesPerMs = static_cast<uint32_t>(kFormat.rate * kFormat.bytesPerFrame() / 1000);
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

bool PulseOutput::streamReady() const {
  return stream_ && pulse().streamGetState(stream_) == PA_STREAM_READY;
}

void PulseOutput::play(const Request& request) {
  if (!loop_) return;
  pulse().threadedMainloopLock(loop_);
  if (!request.sound()) {   // the cut-off alone
    waiting_ = sent_ = {};  // an answer still due must not start what was sent
    if (streamReady()) {
      discard(pulse().streamCork(stream_, 1, nullptr, nullptr));
      discard(pulse().streamFlush(stream_, nullptr, nullptr));
    }
  } else {
    waiting_ = request;
    keepAwake(SoundClock::now() + playingTime(*request.clip) + rest_);
    if (streamReady() && !unanswered_) {
      send();
    } else if (!stream_ && state() == State::Ready) {
      openStream();
    }
  }
  pulse().threadedMainloopUnlock(loop_);
}

void PulseOutput::send() {
  sent_ = waiting_;
  waiting_ = {};
  discard(pulse().streamCork(stream_, 1, nullptr, nullptr));
  discard(pulse().streamFlush(stream_, &PulseOutput::answered, this));
  pulse().streamWrite(stream_, sent_.clip->data(), sent_.clip->size(), nullptr, 0,
                      PA_SEEK_RELATIVE);
  unanswered_ = true;
}

void PulseOutput::answered(pa_stream* stream, int success, void* self) {
  auto* out = static_cast<PulseOutput*>(self);
  if (stream != out->stream_) return;
  out->unanswered_ = false;
  const auto now = SoundClock::now();
  if (success && out->sent_.fresh(now)) {
    discard(pulse().streamCork(stream, 0, nullptr, nullptr));
  } else {
    discard(pulse().streamFlush(stream, nullptr, nullptr));  // too late: it never plays
  }
  out->sent_ = {};
  if (out->waiting_.fresh(now)) {
    out->send();
  } else {
    out->waiting_ = {};
  }
}

void PulseOutput::warm() {
  if (!loop_) return;
  pulse().threadedMainloopLock(loop_);
  keepAwake(SoundClock::now() + rest_);
  if (streamReady() && !unanswered_) {
    discard(pulse().streamCork(stream_, 0, nullptr, nullptr));
  } else if (!stream_ && state() == State::Ready) {
    openStream();
  }
  pulse().threadedMainloopUnlock(loop_);
}

void PulseOutput::keepAwake(SoundClock::time_point until) {
  if (until <= awakeUntil_ || !context_) return;
  awakeUntil_ = until;
  const auto after =
      std::chrono::duration_cast<std::chrono::microseconds>(until - SoundClock::now());
  const pa_usec_t at = pulse().rtclockNow() + static_cast<pa_usec_t>(after.count());
  if (restTimer_) {
    pulse().contextRttimeRestart(context_, restTimer_, at);
  } else {
    restTimer_ = pulse().contextRttimeNew(context_, at, &PulseOutput::restEnded, this);
  }
}

void PulseOutput::restEnded(pa_mainloop_api* api, pa_time_event* event, const timeval*,
                            void* self) {
  auto* out = static_cast<PulseOutput*>(self);
  api->time_free(event);
  out->restTimer_ = nullptr;
  out->awakeUntil_ = {};
  out->closeStream();
}

void PulseOutput::closeStream() {
  if (stream_) {
    pulse().streamSetStateCallback(stream_, nullptr, nullptr);
    pulse().streamDisconnect(stream_);
    pulse().streamUnref(stream_);
    stream_ = nullptr;
  }
  unanswered_ = false;
  sent_ = {};
}

void PulseOutput::drop() {
  if (restTimer_) {
    pulse().threadedMainloopGetApi(loop_)->time_free(restTimer_);
    restTimer_ = nullptr;
  }
  closeStream();
  if (context_) {
    pulse().contextSetStateCallback(context_, nullptr, nullptr);
    pulse().contextDisconnect(context_);
    pulse().contextUnref(context_);
    context_ = nullptr;
  }
  waiting_ = {};
  awakeUntil_ = {};
}

void PulseOutput::contextChanged(pa_context* context, void* self) {
  auto* out = static_cast<PulseOutput*>(self);
  switch (pulse().contextGetState(context)) {
    case PA_CONTEXT_READY:
      out->setState(State::Ready);
      if (out->waiting_.sound() || out->awakeUntil_ != SoundClock::time_point{}) out->openStream();
      break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED: {
      const std::string why = pulse().strerror(pulse().contextErrno(context));
      out->drop();
      out->lost(why);
      break;
    }
    default:
      break;
  }
}

void PulseOutput::streamChanged(pa_stream* stream, void* self) {
  auto* out = static_cast<PulseOutput*>(self);
  switch (pulse().streamGetState(stream)) {
    case PA_STREAM_READY:
      if (out->waiting_.fresh(SoundClock::now())) {
        out->send();
      } else if (!out->waiting_.sound() && out->awakeUntil_ != SoundClock::time_point{}) {
        discard(pulse().streamCork(stream, 0, nullptr, nullptr));  // opened by a press
      }
      out->waiting_ = {};
      break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
      // The context lives on (a sink went away, say): the next request opens a new stream.
      out->closeStream();
      break;
    default:
      break;
  }
}

}  // namespace tessel
