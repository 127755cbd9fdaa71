#include "sound/sound_player.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sound/latency_probe.h"

namespace tessel {
SoundPlayer::SoundPlayer() {
  // SDL would otherwise catch SIGINT and SIGTERM and turn them into events nobody reads, leaving
  // the program deaf to Ctrl-C and to the desktop asking it to quit.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "tessel: no audio output (%s); the kana will be silent\n", SDL_GetError());
    return;
  }
  SDL_AudioSpec want{};
  want.freq = kOutputRequest.rate;
  want.format = kOutputRequest.format;
  want.channels = static_cast<Uint8>(kOutputRequest.channels);
  want.samples = kDeviceSamples;
  want.callback = &SoundPlayer::fill;
  want.userdata = this;
  SDL_AudioSpec have{};
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_ANY_CHANGE);
  if (device_ == 0) {
    std::fprintf(stderr, "tessel: no audio output (%s); the kana will be silent\n", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return;
  }
  silence_ = have.silence;
  bank_ = SoundBank::load({have.freq, have.format, have.channels});
  SDL_PauseAudioDevice(device_, 0);
}

SoundPlayer::~SoundPlayer() {
  close();
}

void SoundPlayer::close() {
  if (device_ == 0) return;
  SDL_CloseAudioDevice(device_);
  device_ = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  // Let SDL drop what it set up on the side (its session-bus connection) once nothing uses it.
  if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
}

void SoundPlayer::PlayWave(const std::string& Name) {
  if (device_ == 0) return;
  const SoundBank::Clip* clip = bank_.clip(Name);
  SDL_LockAudioDevice(device_);
  current_ = clip;  // an unknown name cuts off the old sound and plays nothing
  position_ = 0;
  SDL_UnlockAudioDevice(device_);
}

void SDLCALL SoundPlayer::fill(void* self, Uint8* stream, int len) {
  auto* player = static_cast<SoundPlayer*>(self);
  std::size_t wanted = static_cast<std::size_t>(len);
  std::size_t copied = 0;
  if (const SoundBank::Clip* clip = player->current_) {
    if (player->position_ == 0) probe::firstSampleHandedOver();
    copied = std::min(wanted, clip->size() - player->position_);
    std::memcpy(stream, clip->data() + player->position_, copied);
    player->position_ += copied;
    if (player->position_ == clip->size()) player->current_ = nullptr;
  }
  std::memset(stream + copied, player->silence_, wanted - copied);
}

}  // namespace tessel
