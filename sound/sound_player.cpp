#include "sound/sound_player.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "sound/audio_libraries.h"
#include "sound/pipewire_output.h"
#include "sound/pulse_output.h"

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

// ALSA reports a missing sound server as a page of lines on stderr; the one line we print says
// what matters. Holds stderr shut while it lives (start-up only, before any other output).
class QuietStderr {
 public:
  QuietStderr() : saved_(::dup(STDERR_FILENO)) {
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
      ::dup2(null, STDERR_FILENO);
      ::close(null);
    }
  }
  ~QuietStderr() {
    if (saved_ < 0) return;
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_;
};

}  // namespace

SoundPlayer::SoundPlayer(std::chrono::milliseconds rest) {
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  if (driver && *driver) {
    openSdl(false);
    return;
  }
  server_ = std::make_unique<PipeWireOutput>(kOutputRequest, rest);
  if (!server_->connected()) server_ = std::make_unique<PulseOutput>(kOutputRequest, rest);
  if (server_->connected()) {
    bank_ = SoundBank::load(kOutputRequest);
    return;
  }
  const std::string why = server_->startError();
  if (hasPlaybackCard()) {
    server_.reset();
    if (openSdl(true, "alsa")) return;
    server_ = std::make_unique<PulseOutput>(kOutputRequest, rest);
  }
  // Perhaps the session is still coming up: every request tries the server again.
  std::fprintf(
      stderr,
      "tessel: no sound server or audio device (%s); the kana will sound once one is running\n",
      why.c_str());
  bank_ = SoundBank::load(kOutputRequest);
}

SoundPlayer::~SoundPlayer() {
  close();
}

bool SoundPlayer::openSdl(bool quiet, const char* driver) {
  const auto fail = [quiet](const char* why) {
    if (!quiet)
      std::fprintf(stderr, "tessel: no audio output (%s); the kana will be silent\n", why);
    return false;
  };
  std::string missing;
  if (!sdlLibrary(&missing)) return fail(missing.c_str());
  if (driver) sdl().setHint(SDL_HINT_AUDIODRIVER, driver);
  // SDL would otherwise catch SIGINT and SIGTERM and turn them into events nobody reads, leaving
  // the program deaf to Ctrl-C and to the desktop asking it to quit.
  sdl().setHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  std::unique_ptr<QuietStderr> quietly(quiet ? new QuietStderr : nullptr);
  if (sdl().initSubSystem(SDL_INIT_AUDIO) != 0) {
    quietly.reset();
    return fail(sdl().getError());
  }
  SDL_AudioSpec want{};
  want.freq = kOutputRequest.rate;
  want.format = kOutputRequest.format;
  want.channels = static_cast<Uint8>(kOutputRequest.channels);
  want.samples = kDeviceSamples;
  want.callback = &SoundPlayer::fill;
  want.userdata = this;
  SDL_AudioSpec have{};
  device_ = sdl().openAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_ANY_CHANGE);
  quietly.reset();
  if (device_ == 0) {
    fail(sdl().getError());
    sdl().quitSubSystem(SDL_INIT_AUDIO);
    if (sdl().wasInit(SDL_INIT_EVERYTHING) == 0) sdl().quit();
    return false;
  }
  silence_ = have.silence;
  bank_ = SoundBank::load({have.freq, have.format, have.channels});
  sdl().pauseAudioDevice(device_, 0);
  return true;
}

const char* SoundPlayer::output() const {
  if (server_) return server_->name();
  return device_ != 0 ? "SDL" : "none";
}

void SoundPlayer::close() {
  server_.reset();
  if (device_ == 0) return;
  sdl().closeAudioDevice(device_);
  device_ = 0;
  sdl().quitSubSystem(SDL_INIT_AUDIO);
  // Let SDL drop what it set up on the side (its session-bus connection) once nothing uses it.
  if (sdl().wasInit(SDL_INIT_EVERYTHING) == 0) sdl().quit();
}

void SoundPlayer::PlayWave(const std::string& Name) {
  const SoundBank::Clip* clip = bank_.clip(Name);  // an unknown name cuts off and plays nothing
  if (server_) {
    server_->play(clip);
    return;
  }
  if (device_ == 0) return;
  sdl().lockAudioDevice(device_);
  playing_.start(clip);
  sdl().unlockAudioDevice(device_);
}

void SDLCALL SoundPlayer::fill(void* self, Uint8* stream, int len) {
  auto* player = static_cast<SoundPlayer*>(self);
  player->playing_.read(stream, static_cast<std::size_t>(len), player->silence_);
}

}  // namespace tessel
