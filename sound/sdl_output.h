// The recordings through SDL 2: where SDL_AUDIODRIVER names a driver (the tests capture what is
// played through SDL's disk driver) and on systems with a sound card but no sound server (plain
// ALSA). SDL keeps a device running for as long as it is open, its thread waking for every buffer
// and, on ALSA, to look for new cards; so the device is closed, and SDL's audio with it, after the
// rest period, and opened again for the next request or press.
#pragma once

#include <SDL.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "sound/output.h"

namespace tessel {

class SdlOutput : public Output {
 public:
  // `driver`: the SDL audio driver, or nullptr for SDL's own choice. `quiet`: keep the driver's
  // complaints off stderr while trying it. Unavailable if the device does not open.
  SdlOutput(const char* driver, bool quiet, std::chrono::milliseconds rest);
  ~SdlOutput() override;

  const char* name() const override { return "SDL"; }
  void play(const Request& request) override;
  // Opens the device if it rests, and keeps it open for the rest period.
  void warm() override;
  // Whether a device is open now, rather than resting.
  bool open() const;

 private:
  // These run with mutex_ held.
  bool openDevice();
  void closeDevice();
  void keepAwake(SoundClock::time_point until);
  void restWhenIdle();  // the rest thread
  static void SDLCALL fill(void* self, Uint8* stream, int len);

  const char* driver_;
  bool quiet_;
  std::chrono::milliseconds rest_;
  mutable std::mutex mutex_;
  std::condition_variable restChanged_;
  bool ending_ = false;
  SDL_AudioDeviceID device_ = 0;
  SoundClock::time_point awakeUntil_{};
  ClipReader playing_;  // guarded by SDL's device lock: the callback runs on SDL's audio thread
  std::thread rester_;
};

}  // namespace tessel
