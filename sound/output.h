// What the player's outputs have in common: a request to play, and an output that takes requests
// without ever making its caller wait, rests when idle and tells whether it can play.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "sound/sound_bank.h"

namespace tessel {

using SoundClock = std::chrono::steady_clock;

// How long an output keeps running after its last clip ended or its last press. Auto-read plays
// one kana a second and someone clicking through the chart pauses for a second or two, so the
// output stays warm for both; resting after 5 s idle then frees the sink.
inline constexpr std::chrono::milliseconds kRestAfterSound{5000};

// A request to play `clip`, or only to stop what plays (no clip, or an empty one). A request that
// cannot start by `startBy` (within about its own length, because the server hung or is still
// connecting) is dropped: a kana heard seconds after its click teaches the wrong kana.
struct Request {
  const SoundBank::Clip* clip = nullptr;
  SoundClock::time_point startBy{};

  static Request at(SoundClock::time_point now, const SoundBank::Clip* clip) {
    return {clip, now + (clip ? playingTime(*clip) : std::chrono::microseconds{})};
  }
  bool sound() const { return clip && !clip->empty(); }
  bool fresh(SoundClock::time_point now) const { return sound() && now <= startBy; }
};

// The newest request, handed from the window's thread to a real-time thread without a lock.
class RequestSlot {
 public:
  void post(const Request& request) {
    startBy_.store(request.startBy.time_since_epoch().count(), std::memory_order_relaxed);
    clip_.store(request.sound() ? request.clip : &kNothing, std::memory_order_release);
  }
  // What the reader is to play from now on: nullptr if nothing new was asked for; an empty clip for
  // a stop, or for a request that came too late; else the clip.
  const SoundBank::Clip* take(SoundClock::time_point now) {
    const SoundBank::Clip* clip = clip_.exchange(nullptr, std::memory_order_acquire);
    // A newer request may have moved the deadline on meanwhile; it replaces this one next cycle.
    if (clip && now.time_since_epoch().count() > startBy_.load(std::memory_order_relaxed))
      return &kNothing;
    return clip;
  }

 private:
  static inline const SoundBank::Clip kNothing{};
  std::atomic<const SoundBank::Clip*> clip_{nullptr};
  std::atomic<SoundClock::rep> startBy_{0};
};

class Output {
 public:
  enum class State : std::uint8_t {
    Starting,     // connecting; requests wait, and are dropped if they wait too long
    Ready,        // playing what it is asked, at once
    Down,         // no server now: reconnect() tries again
    Unavailable,  // never on this desktop (no library, no audio sink, no device)
  };

  virtual ~Output() = default;
  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // Which output this is, for the tests and benchmarks.
  virtual const char* name() const = 0;
  State state() const { return state_.load(std::memory_order_acquire); }
  // Why the output is Down or Unavailable.
  std::string problem() const {
    std::lock_guard lock(problemMutex_);
    return problem_;
  }
  // Each of these returns at once, whatever the server does.
  // Starts `request`'s clip, cutting off what still plays; a request without one only stops.
  virtual void play(const Request& request) = 0;
  // Starts the output ahead of a request that is likely to follow (a press on a kana), and rests
  // again after the rest period if none does. Never shortens the rest of a clip still playing.
  virtual void warm() = 0;
  // If Down, starts connecting again.
  virtual void reconnect() {}

 protected:
  void setState(State state) { state_.store(state, std::memory_order_release); }
  void setProblem(std::string problem) {
    std::lock_guard lock(problemMutex_);
    problem_ = std::move(problem);
  }
  // The server went away. A Ready output says so on stderr, once per outage; one that never got
  // ready leaves it to the player, which says why it has no output at all.
  void lost(const std::string& reason) {
    if (state() == State::Ready) {
      std::fprintf(stderr,
                   "tessel: the sound server is gone (%s); the kana will sound again once it is "
                   "back\n",
                   reason.c_str());
    }
    setProblem(reason);
    setState(State::Down);
  }

 private:
  std::atomic<State> state_{State::Down};
  mutable std::mutex problemMutex_;
  std::string problem_;
};

}  // namespace tessel
