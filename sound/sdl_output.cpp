#include "sound/sdl_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "sound/audio_libraries.h"

namespace tessel {
namespace {

// How many frames SDL asks for at a time: about 6 ms, so a click is heard at once.
constexpr Uint16 kDeviceSamples = 128;

// ALSA reports a missing sound server as a page of lines on stderr; the one line the player prints
// says what matters. Holds stderr shut while it lives.
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

SdlOutput::SdlOutput(const char* driver, bool quiet, std::chrono::milliseconds rest)
    : driver_(driver), quiet_(quiet), rest_(rest) {
  std::lock_guard lock(mutex_);
  std::string missing;
  if (!sdlLibrary(&missing)) {
    setProblem(missing);
    setState(State::Unavailable);
    return;
  }
  if (!openDevice()) {
    setState(State::Unavailable);
    return;
  }
  setState(State::Ready);
  keepAwake(SoundClock::now() + rest_);
  rester_ = std::thread(&SdlOutput::restWhenIdle, this);
}

SdlOutput::~SdlOutput() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
    restChanged_.notify_one();
  }
  if (rester_.joinable()) rester_.join();
  std::lock_guard lock(mutex_);
  closeDevice();
}

bool SdlOutput::openDevice() {
  if (driver_) sdl().setHint(SDL_HINT_AUDIODRIVER, driver_);
  // SDL would otherwise catch SIGINT and SIGTERM and turn them into events nobody reads, leaving
  // the program deaf to Ctrl-C and to the desktop asking it to quit.
  sdl().setHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  std::unique_ptr<QuietStderr> quietly(quiet_ ? new QuietStderr : nullptr);
  if (sdl().initSubSystem(SDL_INIT_AUDIO) != 0) {
    quietly.reset();
    setProblem(sdl().getError());
    return false;
  }
  SDL_AudioSpec want{};
  want.freq = kRecordingFormat.rate;
  static_assert(kRecordingFormat.bytesPerSample == 2);
  want.format = AUDIO_S16LSB;
  want.channels = static_cast<Uint8>(kRecordingFormat.channels);
  want.samples = kDeviceSamples;
  want.callback = &SdlOutput::fill;
  want.userdata = this;
  // No changes allowed: where the device wants another format, SDL converts on its own thread.
  device_ = sdl().openAudioDevice(nullptr, 0, &want, nullptr, 0);
  quietly.reset();
  if (device_ == 0) {
    setProblem(sdl().getError());
    closeDevice();
    return false;
  }
  sdl().pauseAudioDevice(device_, 0);
  return true;
}

// Closes the device and SDL's audio with it (its ALSA driver keeps a thread looking for new cards),
// and lets SDL drop what it set up on the side (its session-bus connection) once nothing uses it.
void SdlOutput::closeDevice() {
  if (!sdlLibrary()) return;
  if (device_ != 0) sdl().closeAudioDevice(device_);
  device_ = 0;
  if (sdl().wasInit(SDL_INIT_AUDIO) != 0) sdl().quitSubSystem(SDL_INIT_AUDIO);
  if (sdl().wasInit(SDL_INIT_EVERYTHING) == 0) sdl().quit();
}

bool SdlOutput::open() const {
  std::lock_guard lock(mutex_);
  return device_ != 0;
}

void SdlOutput::play(const Request& request) {
  std::lock_guard lock(mutex_);
  if (state() != State::Ready) return;
  if (request.sound()) {
    if (device_ == 0 && !openDevice()) return;
    keepAwake(SoundClock::now() + playingTime(*request.clip) + rest_);
  }
  if (device_ == 0) return;
  sdl().lockAudioDevice(device_);
  playing_.start(request.sound() ? request.clip : nullptr);
  sdl().unlockAudioDevice(device_);
}

void SdlOutput::warm() {
  std::lock_guard lock(mutex_);
  if (state() != State::Ready || (device_ == 0 && !openDevice())) return;
  keepAwake(SoundClock::now() + rest_);
}

void SdlOutput::keepAwake(SoundClock::time_point until) {
  if (until <= awakeUntil_) return;
  awakeUntil_ = until;
  restChanged_.notify_one();
}

void SdlOutput::restWhenIdle() {
  std::unique_lock lock(mutex_);
  while (!ending_) {
    if (device_ == 0) {
      restChanged_.wait(lock);  // nothing to rest: sleep until a request opens the device
    } else if (SoundClock::now() < awakeUntil_) {
      restChanged_.wait_until(lock, awakeUntil_);
    } else {
      closeDevice();
      awakeUntil_ = {};
    }
  }
}

void SDLCALL SdlOutput::fill(void* self, Uint8* stream, int len) {
  static_cast<SdlOutput*>(self)->playing_.read(stream, static_cast<std::size_t>(len));
}

}  // namespace tessel
