#include "sound/pipewire_output.h"

#include <spa/param/audio/format-utils.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>

#include "sound/audio_libraries.h"

namespace tessel {
namespace {

std::tuple<int, int, int> version(const char* text) {
  int major = 0, minor = 0, micro = 0;
  std::sscanf(text, "%d.%d.%d", &major, &minor, &micro);
  return {major, minor, micro};
}

timespec monotonic(SoundClock::time_point at) {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch());
  return {static_cast<time_t>(ns.count() / 1000000000), static_cast<long>(ns.count() % 1000000000)};
}

}  // namespace

// PipeWire's event tables point back at the output through these.
struct PipeWireOutput::Listeners {
  spa_hook core{};
  spa_hook stream{};
  spa_hook registry{};
  spa_source* failed = nullptr;  // signalled when the server or the stream failed
  std::string reason;            // why, with the loop locked

  static PipeWireOutput& out(void* self) { return *static_cast<PipeWireOutput*>(self); }

  static void global(void* self, uint32_t, uint32_t, const char* type, uint32_t,
                     const spa_dict* props) {
    if (std::string_view(type) != PW_TYPE_INTERFACE_Node || !props) return;
    const char* media = spa_dict_lookup(props, PW_KEY_MEDIA_CLASS);
    const std::string_view kind = media ? media : "";
    if (kind.starts_with("Audio/Sink") || kind.starts_with("Audio/Duplex"))
      out(self).sinkSeen_ = true;
  }
  // The answer to the round trip after connecting: every object the server had is announced.
  static void coreDone(void* self, uint32_t id, int seq) {
    PipeWireOutput& o = out(self);
    if (id != PW_ID_CORE || seq != o.syncSeq_ || !o.registry_) return;
    spa_hook_remove(&o.listeners_->registry);
    pipewire().proxyDestroy(reinterpret_cast<pw_proxy*>(o.registry_));
    o.registry_ = nullptr;
    if (o.sinkSeen_) {
      o.openStream();
    } else {
      o.fail("PipeWire has no audio sink", true);
    }
  }
  static void coreError(void* self, uint32_t id, int, int res, const char* message) {
    if (id == PW_ID_CORE) out(self).fail(res == -EPIPE ? "disconnected" : message);
  }
  static void streamChanged(void* self, pw_stream_state, pw_stream_state state, const char* error) {
    if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) {
      out(self).fail(error ? error : "the stream was closed");
    } else if ((state == PW_STREAM_STATE_PAUSED || state == PW_STREAM_STATE_STREAMING) &&
               !out(self).ready_) {
      out(self).streamReady();
    }
  }
  static void process(void* self) { out(self).fill(); }
  // Not from inside PipeWire's own callbacks: the objects are dropped on the loop's next turn.
  static void failedNow(void* self, uint64_t) {
    PipeWireOutput& o = out(self);
    const std::string reason = o.listeners_->reason;
    const bool forGood = o.forGood_;
    o.drop();
    if (forGood) {
      o.setProblem(reason);
      o.setState(State::Unavailable);
    } else {
      o.lost(reason);
    }
  }

  static const pw_core_events kCore;
  static const pw_stream_events kStream;
  static const pw_registry_events kRegistry;
};

const pw_core_events PipeWireOutput::Listeners::kCore = [] {
  pw_core_events events{};
  events.version = PW_VERSION_CORE_EVENTS;
  events.done = &coreDone;
  events.error = &coreError;
  return events;
}();
const pw_stream_events PipeWireOutput::Listeners::kStream = [] {
  pw_stream_events events{};
  events.version = PW_VERSION_STREAM_EVENTS;
  events.state_changed = &streamChanged;
  events.process = &process;
  return events;
}();
const pw_registry_events PipeWireOutput::Listeners::kRegistry = [] {
  pw_registry_events events{};
  events.version = PW_VERSION_REGISTRY_EVENTS;
  events.global = &global;
  return events;
}();

PipeWireOutput::PipeWireOutput(std::chrono::milliseconds rest, int cycle)
    : rest_(rest), cycle_(cycle), listeners_(std::make_unique<Listeners>()) {
  const auto unavailable = [this](std::string why) {
    setProblem(std::move(why));
    setState(State::Unavailable);
  };
  std::string missing;
  if (!pipewireLibrary(&missing)) {
    unavailable(missing);
    return;
  }
  // Buffers say how much they want from TESSEL_PIPEWIRE_MINIMUM on; the Pulse layer serves older
  // ones.
  if (version(pipewire().getLibraryVersion()) < version(TESSEL_PIPEWIRE_MINIMUM)) {
    unavailable("PipeWire older than " TESSEL_PIPEWIRE_MINIMUM);
    return;
  }
  pipewire().init(nullptr, nullptr);
  loop_ = pipewire().threadLoopNew("tessel-sound", nullptr);
  if (!loop_) {
    unavailable("no main loop");
    return;
  }
  pw_loop* loop = pipewire().threadLoopGetLoop(loop_);
  context_ = pipewire().contextNew(loop, nullptr, 0);
  restTimer_ = pw_loop_add_timer(loop, &PipeWireOutput::rested, this);
  listeners_->failed = pw_loop_add_event(loop, &Listeners::failedNow, this);
  if (!context_ || !restTimer_ || !listeners_->failed || pipewire().threadLoopStart(loop_) < 0) {
    unavailable("no main loop");
    return;
  }
  pipewire().threadLoopLock(loop_);
  connect();
  pipewire().threadLoopUnlock(loop_);
}

PipeWireOutput::~PipeWireOutput() {
  if (!loop_) return;
  pipewire().threadLoopLock(loop_);
  drop();
  pw_loop* loop = pipewire().threadLoopGetLoop(loop_);
  if (restTimer_) pw_loop_destroy_source(loop, restTimer_);
  if (listeners_->failed) pw_loop_destroy_source(loop, listeners_->failed);
  pipewire().threadLoopUnlock(loop_);
  pipewire().threadLoopStop(loop_);
  if (context_) pipewire().contextDestroy(context_);
  pipewire().threadLoopDestroy(loop_);
}

void PipeWireOutput::connect() {
  core_ = pipewire().contextConnect(context_, nullptr, 0);
  if (!core_) {
    setProblem(std::strerror(errno));
    setState(State::Down);
    return;
  }
  pw_core_add_listener(core_, &listeners_->core, &Listeners::kCore, this);
  // PipeWire also runs beside PulseAudio, for screen sharing, without any audio sink: the sinks
  // are among the objects announced before the answer to this round trip.
  registry_ = pw_core_get_registry(core_, PW_VERSION_REGISTRY, 0);
  pw_registry_add_listener(registry_, &listeners_->registry, &Listeners::kRegistry, this);
  syncSeq_ = pw_core_sync(core_, PW_ID_CORE, 0);
  setState(State::Starting);
}

void PipeWireOutput::reconnect() {
  if (!loop_) return;
  pipewire().threadLoopLock(loop_);
  if (state() == State::Down) connect();
  pipewire().threadLoopUnlock(loop_);
}

void PipeWireOutput::openStream() {
  const std::string latency = std::to_string(cycle_) + "/48000";
  pw_properties* props =
      pipewire().propertiesNew(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback",
                               PW_KEY_NODE_LATENCY, latency.c_str(), nullptr);
  stream_ = pipewire().streamNew(core_, "kana", props);
  if (!stream_) return fail("the stream could not be made");
  pipewire().streamAddListener(stream_, &listeners_->stream, &Listeners::kStream, this);
  uint8_t buffer[512];
  spa_pod_builder builder{};
  spa_pod_builder_init(&builder, buffer, sizeof buffer);
  spa_audio_info_raw info{};
  info.format = SPA_AUDIO_FORMAT_S16_LE;
  info.rate = static_cast<uint32_t>(kRecordingFormat.rate);
  info.channels = static_cast<uint32_t>(kRecordingFormat.channels);
  static_assert(kRecordingFormat.channels == 1 && kRecordingFormat.bytesPerSample == 2);
  info.position[0] = SPA_AUDIO_CHANNEL_MONO;  // to every speaker, not to the front left alone
  const spa_pod* params[] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
  const auto flags =
      static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                   PW_STREAM_FLAG_RT_PROCESS | PW_STREAM_FLAG_INACTIVE);
  if (pipewire().streamConnect(stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) < 0)
    fail("the stream could not be opened");
}

void PipeWireOutput::streamReady() {
  ready_ = true;
  setState(State::Ready);
  // A request made while connecting plays if it still can; the slot drops it otherwise.
  if (SoundClock::now() <= latestStartBy_ && awakeUntil_ != SoundClock::time_point{})
    pipewire().streamSetActive(stream_, true);
}

void PipeWireOutput::play(const Request& request) {
  if (!loop_) return;
  next_.post(request);  // the clip, or the cut-off
  if (!request.sound()) return;
  pipewire().threadLoopLock(loop_);
  latestStartBy_ = request.startBy;
  keepAwake(SoundClock::now() + playingTime(*request.clip) + rest_);
  pipewire().threadLoopUnlock(loop_);
}

void PipeWireOutput::warm() {
  if (!loop_) return;
  pipewire().threadLoopLock(loop_);
  keepAwake(SoundClock::now() + rest_);
  pipewire().threadLoopUnlock(loop_);
}

void PipeWireOutput::keepAwake(SoundClock::time_point until) {
  if (until > awakeUntil_) {
    awakeUntil_ = until;
    timespec at = monotonic(until);
    pw_loop_update_timer(pipewire().threadLoopGetLoop(loop_), restTimer_, &at, nullptr, true);
  }
  if (ready_) pipewire().streamSetActive(stream_, true);
}

void PipeWireOutput::rested(void* self, std::uint64_t) {
  auto* out = static_cast<PipeWireOutput*>(self);
  out->awakeUntil_ = {};
  if (out->ready_) pipewire().streamSetActive(out->stream_, false);
}

void PipeWireOutput::fail(const char* reason, bool forGood) {
  if (failed_) return;
  failed_ = true;
  forGood_ = forGood;
  listeners_->reason = reason;
  pw_loop_signal_event(pipewire().threadLoopGetLoop(loop_), listeners_->failed);
}

void PipeWireOutput::drop() {
  if (stream_) {
    spa_hook_remove(&listeners_->stream);
    pipewire().streamDestroy(stream_);
    stream_ = nullptr;
  }
  if (registry_) {
    spa_hook_remove(&listeners_->registry);
    pipewire().proxyDestroy(reinterpret_cast<pw_proxy*>(registry_));
    registry_ = nullptr;
  }
  if (core_) {
    spa_hook_remove(&listeners_->core);
    pipewire().coreDisconnect(core_);
    core_ = nullptr;
  }
  if (awakeUntil_ != SoundClock::time_point{}) {
    timespec never{};
    pw_loop_update_timer(pipewire().threadLoopGetLoop(loop_), restTimer_, &never, nullptr, false);
  }
  awakeUntil_ = {};
  syncSeq_ = -1;
  sinkSeen_ = ready_ = failed_ = forGood_ = false;
}

void PipeWireOutput::fill() {
  pw_buffer* buffer = pipewire().streamDequeueBuffer(stream_);
  if (!buffer) return;
  spa_data& data = buffer->buffer->datas[0];
  const auto stride = static_cast<std::uint32_t>(kRecordingFormat.bytesPerFrame());
  std::uint32_t frames = data.maxsize / stride;
  if (buffer->requested > 0) frames = std::min<std::uint32_t>(frames, buffer->requested);
  if (const SoundBank::Clip* next = next_.take(SoundClock::now())) playing_.start(next);
  const std::size_t wanted = std::size_t{frames} * stride;
  auto* out = static_cast<std::uint8_t*>(data.data);
  if (out) playing_.read(out, wanted);
  data.chunk->offset = 0;
  data.chunk->stride = static_cast<int32_t>(stride);
  data.chunk->size = out ? static_cast<std::uint32_t>(wanted) : 0;
  buffer->size = frames;
  pipewire().streamQueueBuffer(stream_, buffer);
}

}  // namespace tessel
