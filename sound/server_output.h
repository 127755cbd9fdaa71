// What the sound-server outputs have in common: a stream on the desktop's sound server that plays
// one clip at a time, rests when idle and connects again after the server went away.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "sound/sound_bank.h"

namespace tessel {

// Why a few seconds: auto-read plays one kana a second and someone clicking through the chart
// pauses for a second or two, so the stream stays warm for both; at rest any later, the sink may
// suspend, and waking it costs a few milliseconds, or about 70 ms when another program holds the
// PipeWire graph at a large quantum. Resting after 5 s idle frees the sink almost at once.
inline constexpr std::chrono::milliseconds kRestAfterSound{5000};

// How long an output's constructor waits for its server before going on without it.
inline constexpr std::chrono::milliseconds kStartWait{500};

// How long `clip`, 16-bit samples in `format`, plays.
inline std::chrono::microseconds playingTime(const SoundBank::Clip& clip, const PcmFormat& format) {
  return std::chrono::microseconds(static_cast<std::int64_t>(clip.size()) * 1000000 /
                                   (std::int64_t{format.rate} * format.channels * 2));
}

class ServerOutput {
 public:
  virtual ~ServerOutput() = default;
  ServerOutput() = default;
  ServerOutput(const ServerOutput&) = delete;
  ServerOutput& operator=(const ServerOutput&) = delete;

  // Whether the stream was ready when the constructor returned; if not, why not. A failure while
  // constructing prints nothing (the caller says what it does instead); later outages print one
  // line each on stderr.
  bool connected() const { return connectedAtStart_; }
  const std::string& startError() const { return startError_; }
  // Which server protocol this is, for the benchmarks and tests.
  virtual const char* name() const = 0;
  // Starts `clip` (must outlive this object), cutting off what still plays; nullptr only stops.
  virtual void play(const SoundBank::Clip* clip) = 0;
  // Starts the stream ahead of a request that is likely to follow, and rests again after the
  // rest period if none does. Never shortens the rest of a clip still playing.
  virtual void warm() = 0;

 protected:
  // The server went away, or never answered: while constructing, the reason is kept for the
  // caller; after that, one line on stderr per outage.
  void report(const char* reason) {
    if (starting_) {
      startError_ = reason;
    } else if (!outageReported_) {
      std::fprintf(stderr,
                   "tessel: the sound server is gone (%s); the kana will sound again once it is "
                   "back\n",
                   reason);
      outageReported_ = true;
    }
  }

  // The end of the constructor: from here on outages are reported, the first one by the caller.
  void started(bool connected) {
    connectedAtStart_ = connected;
    outageReported_ = !connected;
    starting_ = false;
  }

  std::string startError_;
  bool starting_ = true;         // the constructor is still running
  bool outageReported_ = false;  // since the stream was last ready

 private:
  bool connectedAtStart_ = false;
};

}  // namespace tessel
