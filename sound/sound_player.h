// Plays the built-in recordings: on the desktop's sound server when there is one, else on SDL.
//
// On a desktop the output is a stream on the sound server that rests when idle and comes back
// after the server restarts: PipeWire's own (PipeWireOutput) where PipeWire serves audio, else the
// PulseAudio protocol (PulseOutput), which PulseAudio and PipeWire's Pulse layer both serve. SDL
// takes over where SDL_AUDIODRIVER names a driver (the tests capture the output through SDL's disk
// driver) and on systems with a sound card but no sound server (plain ALSA); there the one SDL
// device runs continuously, its callback copying from the current clip. Either way PlayWave returns
// at once, a new request cuts the old one off and an unknown key plays nothing. With no output at
// all the program stays silent and says so once.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "chart/sound_port.h"
#include "sound/server_output.h"
#include "sound/sound_bank.h"

namespace tessel {

// What the output is asked for: the recordings' own format, so nothing needs converting at
// start-up, and about 6 ms per SDL device period so a click is heard at once. An SDL device that
// insists on another format gets the bank converted to it.
inline constexpr PcmFormat kOutputRequest{22050, AUDIO_S16SYS, 1};
inline constexpr Uint16 kDeviceSamples = 128;

class SoundPlayer : public SoundPort {
 public:
  // Picks and opens the output and loads the bank. `rest`: how long the sound-server stream stays
  // running after a clip ends.
  explicit SoundPlayer(std::chrono::milliseconds rest = kRestAfterSound);
  ~SoundPlayer() override;
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  void PlayWave(const std::string& Name) override;
  // Only the sound-server stream rests; an SDL device is always running.
  void warm() override {
    if (server_) server_->warm();
  }

  // An SDL device is open, or the sound-server output is in use (connected or waiting for one).
  bool hasDevice() const { return device_ != 0 || server_ != nullptr; }
  bool onSoundServer() const { return server_ != nullptr; }
  // The output in use: the sound server's protocol, "SDL", or "none".
  const char* output() const;
  const SoundBank& bank() const { return bank_; }
  // Stops the output at once; later requests are silent.
  void close();

 private:
  // `driver`: the SDL audio driver to use, else SDL's own choice.
  bool openSdl(bool quiet, const char* driver = nullptr);
  static void SDLCALL fill(void* self, Uint8* stream, int len);

  std::unique_ptr<ServerOutput> server_;
  SDL_AudioDeviceID device_ = 0;
  Uint8 silence_ = 0;
  SoundBank bank_;
  // Guarded by the device lock: the callback runs on SDL's audio thread.
  ClipReader playing_;
};

}  // namespace tessel
