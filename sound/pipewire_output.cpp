#include "sound/pipewire_output.h"

#include <spa/param/audio/format-utils.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <thread>
#include <tuple>

#include "sound/audio_libraries.h"

namespace tessel {
namespace {

// The cycle asked of the graph while the stream runs: 128 frames at the usual 48 kHz, 2.7 ms. A
// request waits for the next cycle and then one or two more before the sink plays it.
constexpr const char* kCycle = "128/48000";
// What the real-time thread is handed to stop: no clip at all.
const SoundBank::Clip kNothing{};

timespec monotonic(std::chrono::steady_clock::time_point at) {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch());
  return {static_cast<time_t>(ns.count() / 1000000000), static_cast<long>(ns.count() % 1000000000)};
}

}  // namespace

// PipeWire's event tables point back at the output through these.
struct PipeWireOutput::Listeners {
  spa_hook core{};
  spa_hook stream{};
  spa_hook registry{};
  spa_source* lostEvent = nullptr;  // signalled when the server or the stream failed

  static void coreDone(void* self, uint32_t id, int seq) {
    auto* out = static_cast<PipeWireOutput*>(self);
    if (id == PW_ID_CORE && seq == out->syncSeq_) out->synced_ = true;
  }
  static void coreError(void* self, uint32_t id, int, int res, const char* message) {
    auto* out = static_cast<PipeWireOutput*>(self);
    if (id == PW_ID_CORE) out->lose(res == -EPIPE ? "disconnected" : message);
  }
  static void streamChanged(void* self, pw_stream_state, pw_stream_state state, const char* error) {
    auto* out = static_cast<PipeWireOutput*>(self);
    if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) {
      out->lose(error ? error : "the stream was closed");
    } else if (state == PW_STREAM_STATE_PAUSED || state == PW_STREAM_STATE_STREAMING) {
      out->ready_ = true;
      out->outageReported_ = false;
    }
  }
  static void process(void* self) { static_cast<PipeWireOutput*>(self)->fill(); }
  static void global(void* self, uint32_t, uint32_t, const char* type, uint32_t,
                     const spa_dict* props) {
    if (std::string_view(type) != PW_TYPE_INTERFACE_Node || !props) return;
    const char* media = spa_dict_lookup(props, PW_KEY_MEDIA_CLASS);
    const std::string_view kind = media ? media : "";
    if (kind.starts_with("Audio/Sink") || kind.starts_with("Audio/Duplex"))
      static_cast<PipeWireOutput*>(self)->sinkSeen_ = true;
  }
  static void lost(void* self, uint64_t) { static_cast<PipeWireOutput*>(self)->drop(); }

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

PipeWireOutput::PipeWireOutput(const PcmFormat& format, std::chrono::milliseconds rest)
    : format_(format), rest_(rest), listeners_(std::make_unique<Listeners>()) {
  if (!pipewireLibrary(&startError_)) return;
  // Buffers say how much they want since 0.3.49; the Pulse layer serves older ones.
  int major = 0, minor = 0, micro = 0;
  std::sscanf(pipewire().getLibraryVersion(), "%d.%d.%d", &major, &minor, &micro);
  if (std::tuple(major, minor, micro) < std::tuple(0, 3, 49)) {
    startError_ = "PipeWire older than 0.3.49";
    return;
  }
  pipewire().init(nullptr, nullptr);
  loop_ = pipewire().threadLoopNew("tessel-sound", nullptr);
  if (!loop_) {
    startError_ = "no main loop";
    return;
  }
  pw_loop* loop = pipewire().threadLoopGetLoop(loop_);
  context_ = pipewire().contextNew(loop, nullptr, 0);
  restTimer_ = pw_loop_add_timer(loop, &PipeWireOutput::rested, this);
  listeners_->lostEvent = pw_loop_add_event(loop, &Listeners::lost, this);
  if (!context_ || !restTimer_ || !listeners_->lostEvent || pipewire().threadLoopStart(loop_) < 0) {
    startError_ = "no main loop";
    return;
  }
  pipewire().threadLoopLock(loop_);
  const auto deadline = std::chrono::steady_clock::now() + kStartWait;
  const auto waitFor = [&](const bool& done) {
    while (!done && !lost_ && std::chrono::steady_clock::now() < deadline) {
      pipewire().threadLoopUnlock(loop_);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      pipewire().threadLoopLock(loop_);
    }
    return done && !lost_;
  };
  if (connect()) {
    // PipeWire also runs beside PulseAudio, for screen sharing, without any audio sink.
    auto* registry = pw_core_get_registry(core_, PW_VERSION_REGISTRY, 0);
    pw_registry_add_listener(registry, &listeners_->registry, &Listeners::kRegistry, this);
    syncSeq_ = pw_core_sync(core_, PW_ID_CORE, 0);
    bool answered = waitFor(synced_);
    spa_hook_remove(&listeners_->registry);
    pipewire().proxyDestroy(reinterpret_cast<pw_proxy*>(registry));
    if (answered && !sinkSeen_) startError_ = "PipeWire has no audio sink";
    if (answered && sinkSeen_) {
      openStream();
      answered = waitFor(ready_);
    }
    if (!answered && startError_.empty()) startError_ = "no answer from PipeWire";
  }
  const bool ready = startError_.empty();
  if (!ready) drop();
  started(ready);
  pipewire().threadLoopUnlock(loop_);
}

PipeWireOutput::~PipeWireOutput() {
  if (!loop_) return;
  pipewire().threadLoopLock(loop_);
  drop();
  pw_loop* loop = pipewire().threadLoopGetLoop(loop_);
  if (restTimer_) pw_loop_destroy_source(loop, restTimer_);
  if (listeners_->lostEvent) pw_loop_destroy_source(loop, listeners_->lostEvent);
  pipewire().threadLoopUnlock(loop_);
  pipewire().threadLoopStop(loop_);
  if (context_) pipewire().contextDestroy(context_);
  pipewire().threadLoopDestroy(loop_);
}

bool PipeWireOutput::connect() {
  core_ = pipewire().contextConnect(context_, nullptr, 0);
  if (!core_) {
    if (starting_) startError_ = std::strerror(errno);
    return false;
  }
  pw_core_add_listener(core_, &listeners_->core, &Listeners::kCore, this);
  return true;
}

void PipeWireOutput::openStream() {
  pw_properties* props = pipewire().propertiesNew(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY,
                                                  "Playback", PW_KEY_NODE_LATENCY, kCycle, nullptr);
  stream_ = pipewire().streamNew(core_, "kana", props);
  if (!stream_) return;
  playing_.start(nullptr);
  pipewire().streamAddListener(stream_, &listeners_->stream, &Listeners::kStream, this);
  uint8_t buffer[512];
  spa_pod_builder builder{};
  spa_pod_builder_init(&builder, buffer, sizeof buffer);
  spa_audio_info_raw info{};
  info.format = SPA_AUDIO_FORMAT_S16;
  info.rate = static_cast<uint32_t>(format_.rate);
  info.channels = static_cast<uint32_t>(format_.channels);
  if (format_.channels == 1) info.position[0] = SPA_AUDIO_CHANNEL_MONO;
  const spa_pod* params[] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
  const auto flags =
      static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                   PW_STREAM_FLAG_RT_PROCESS | PW_STREAM_FLAG_INACTIVE);
  if (pipewire().streamConnect(stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) < 0)
    lose("the stream could not be opened");
}

void PipeWireOutput::play(const SoundBank::Clip* clip) {
  if (!loop_) return;
  const bool sound = clip && !clip->empty();
  next_.store(sound ? clip : &kNothing, std::memory_order_release);  // the cut-off, or the clip
  if (!sound) return;
  pipewire().threadLoopLock(loop_);
  if (!core_ && connect()) openStream();
  if (stream_) {
    activate(std::chrono::steady_clock::now() + playingTime(*clip, format_) + rest_);
  }
  pipewire().threadLoopUnlock(loop_);
}

void PipeWireOutput::warm() {
  if (!loop_) return;
  pipewire().threadLoopLock(loop_);
  if (stream_) activate(std::chrono::steady_clock::now() + rest_);
  pipewire().threadLoopUnlock(loop_);
}

void PipeWireOutput::activate(std::chrono::steady_clock::time_point restAt) {
  if (restAt > restAt_) {
    restAt_ = restAt;
    timespec at = monotonic(restAt);
    pw_loop_update_timer(pipewire().threadLoopGetLoop(loop_), restTimer_, &at, nullptr, true);
  }
  pipewire().streamSetActive(stream_, true);
}

void PipeWireOutput::rested(void* self, std::uint64_t) {
  auto* out = static_cast<PipeWireOutput*>(self);
  out->restAt_ = {};
  if (out->stream_) pipewire().streamSetActive(out->stream_, false);
}

void PipeWireOutput::lose(const char* reason) {
  if (lost_) return;
  lost_ = true;
  report(reason);
  // Not from inside PipeWire's own callback: the objects are dropped on the loop's next turn.
  if (!starting_) pw_loop_signal_event(pipewire().threadLoopGetLoop(loop_), listeners_->lostEvent);
}

void PipeWireOutput::drop() {
  if (stream_) {
    spa_hook_remove(&listeners_->stream);
    pipewire().streamDestroy(stream_);
    stream_ = nullptr;
  }
  if (core_) {
    spa_hook_remove(&listeners_->core);
    pipewire().coreDisconnect(core_);
    core_ = nullptr;
  }
  if (restTimer_ && restAt_ != std::chrono::steady_clock::time_point{}) {
    timespec never{};
    pw_loop_update_timer(pipewire().threadLoopGetLoop(loop_), restTimer_, &never, nullptr, false);
  }
  restAt_ = {};
  lost_ = false;
  ready_ = false;
}

void PipeWireOutput::fill() {
  pw_buffer* buffer = pipewire().streamDequeueBuffer(stream_);
  if (!buffer) return;
  spa_data& data = buffer->buffer->datas[0];
  const auto stride = static_cast<std::uint32_t>(2 * format_.channels);
  std::uint32_t frames = data.maxsize / stride;
  if (buffer->requested > 0) frames = std::min<std::uint32_t>(frames, buffer->requested);
  if (const SoundBank::Clip* next = next_.exchange(nullptr, std::memory_order_acquire))
    playing_.start(next);
  const std::size_t wanted = std::size_t{frames} * stride;
  auto* out = static_cast<std::uint8_t*>(data.data);
  if (out) playing_.read(out, wanted, 0);
  data.chunk->offset = 0;
  data.chunk->stride = static_cast<int32_t>(stride);
  data.chunk->size = out ? static_cast<std::uint32_t>(wanted) : 0;
  buffer->size = frames;
  pipewire().streamQueueBuffer(stream_, buffer);
}

}  // namespace tessel
