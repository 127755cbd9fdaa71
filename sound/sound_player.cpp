#include "sound/sound_player.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "sound/pipewire_output.h"
#include "sound/pulse_output.h"
#include "sound/sdl_output.h"

namespace tessel {
namespace {

// A sound card ALSA could open directly, as on a system without a sound server.
bool hasPlaybackCard() {
  std::ifstream pcm("/proc/asound/pcm");
  std::string line;
  while (std::getline(pcm, line)) {
    if (line.find("playback") != std::string::npos) return true;
  }
  return false;
}

bool playable(const Output& out) {
  return out.state() == Output::State::Ready || out.state() == Output::State::Starting;
}

}  // namespace

SoundPlayer::SoundPlayer(std::chrono::milliseconds rest) : rest_(rest) {
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  if (driver && *driver) {
    sdl_ = std::make_unique<SdlOutput>(nullptr, false, rest_);
    if (!route()) {
      std::fprintf(stderr, "tessel: no audio output (%s); the kana will be silent\n",
                   sdl_->problem().c_str());
    }
    return;
  }
  if (route()) return;
  // No server answers now. A sound card with none in front of it is played through SDL.
  std::string why = pulse_ ? pulse_->problem() : pipewire_->problem();
  if (hasPlaybackCard()) {
    auto alsa = std::make_unique<SdlOutput>("alsa", true, rest_);
    if (alsa->state() == Output::State::Ready) {
      pipewire_.reset();
      pulse_.reset();
      sdl_ = std::move(alsa);
      route();
      return;
    }
  }
  // Perhaps the session is still coming up: every request tries the servers again.
  std::fprintf(
      stderr,
      "tessel: no sound server or audio device (%s); the kana will sound once one is running\n",
      why.c_str());
}

SoundPlayer::~SoundPlayer() {
  close();
}

void SoundPlayer::close() {
  closed_ = true;
  current_ = nullptr;
  sdl_.reset();
  pipewire_.reset();
  pulse_.reset();
}

Output* SoundPlayer::candidate(int order) {
  if (sdl_) return order == 0 ? sdl_.get() : nullptr;
  if (order == 0) {
    if (!pipewire_) pipewire_ = std::make_unique<PipeWireOutput>(rest_);
    return pipewire_.get();
  }
  if (order == 1) {
    // Made only where PipeWire does not serve: on PulseAudio, or before any server runs.
    if (!pulse_) pulse_ = std::make_unique<PulseOutput>(rest_);
    return pulse_.get();
  }
  return nullptr;
}

Output* SoundPlayer::route() {
  if (closed_) return nullptr;
  if (current_ && playable(*current_)) return current_;
  current_ = nullptr;
  for (int order = 0; Output* out = candidate(order); ++order) {
    if (out->state() == Output::State::Unavailable) continue;
    out->reconnect();
    if (playable(*out)) return current_ = out;
  }
  return nullptr;
}

void SoundPlayer::PlayWave(const std::string& Name) {
  const SoundBank::Clip* clip = bank_.clip(Name);  // an unknown name cuts off and plays nothing
  if (Output* out = route()) out->play(Request::at(SoundClock::now(), clip));
}

void SoundPlayer::warm() {
  if (Output* out = route()) out->warm();
}

const char* SoundPlayer::output() const {
  return current_ && current_->state() == Output::State::Ready ? current_->name() : "none";
}

}  // namespace tessel
