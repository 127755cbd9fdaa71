// Plays the built-in recordings on the desktop's sound server, or on SDL where there is none.
//
// The outputs, in the order they are tried: a PipeWire stream where PipeWire serves audio; a
// stream through the PulseAudio protocol, which PulseAudio and PipeWire's Pulse layer both serve;
// SDL where SDL_AUDIODRIVER names a driver (the tests capture the output through SDL's disk
// driver) or where a sound card has no server in front of it (plain ALSA). A server output that
// loses its server, or never found one, is tried again, in that order, at the next request; so a
// server that starts late, or restarts, is heard. PlayWave returns at once, whatever the server
// does: a new request cuts the old one off, an unknown key plays nothing, and a request that cannot
// start in time is dropped. With no output at all the program stays silent and says so once.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "chart/sound_port.h"
#include "sound/output.h"
#include "sound/sound_bank.h"

namespace tessel {

class SoundPlayer : public SoundPort {
 public:
  // Picks the output and starts it, without waiting for any server. `rest`: how long an output
  // keeps running after a clip ends.
  explicit SoundPlayer(std::chrono::milliseconds rest = kRestAfterSound);
  ~SoundPlayer() override;
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  void PlayWave(const std::string& Name) override;
  void warm() override;

  // The output that plays now (its name()), or "none" while none is ready.
  const char* output() const;
  const SoundBank& bank() const { return bank_; }
  // Stops the output at once; later requests are silent.
  void close();

 private:
  // The output to hand a request to, after trying again the ones that lost their server; nullptr
  // while there is none.
  Output* route();
  Output* candidate(int order);

  std::chrono::milliseconds rest_;
  bool closed_ = false;
  std::unique_ptr<Output> sdl_, pipewire_, pulse_;
  Output* current_ = nullptr;
  SoundBank bank_;
};

}  // namespace tessel
