// Plays the built-in recordings on the one SDL audio device opened at start-up.
//
// The device runs continuously; its callback copies from the current clip, or silence. PlayWave
// only swaps the clip under the device lock, so it returns in microseconds and a new request cuts
// the old one off at the next buffer. With no audio device the program stays silent.
#pragma once

#include <cstddef>
#include <string>

#include "chart/sound_port.h"
#include "sound/sound_bank.h"

namespace tessel {

// What the device is asked for: the recordings' own format, so that on a desktop sound server
// nothing needs converting at start-up, and about 6 ms per device period so a click is heard at
// once. A device that insists on another format gets the bank converted to it.
inline constexpr PcmFormat kOutputRequest{22050, AUDIO_S16SYS, 1};
inline constexpr Uint16 kDeviceSamples = 128;

class SoundPlayer : public SoundPort {
 public:
  // Opens the default output (or the one SDL_AUDIODRIVER names) and loads the bank. On failure it
  // prints one line on stderr and every PlayWave is silent.
  SoundPlayer();
  ~SoundPlayer() override;
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  void PlayWave(const std::string& Name) override;

  bool hasDevice() const { return device_ != 0; }
  const SoundBank& bank() const { return bank_; }
  // Stops the output at once; later requests are silent.
  void close();

 private:
  static void SDLCALL fill(void* self, Uint8* stream, int len);

  SDL_AudioDeviceID device_ = 0;
  Uint8 silence_ = 0;
  SoundBank bank_;
  // Guarded by the device lock: the callback runs on SDL's audio thread.
  const SoundBank::Clip* current_ = nullptr;
  std::size_t position_ = 0;
};

}  // namespace tessel
