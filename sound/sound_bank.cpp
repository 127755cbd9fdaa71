#include "sound/sound_bank.h"

#include <QFile>
#include <memory>
#include <string>

#include "sound/audio_libraries.h"

namespace tessel {
namespace {

constexpr std::size_t kResamplerTailFrames = 1024;  // more than SDL keeps back

struct WavFree {
  void operator()(Uint8* p) const { sdl().freeWav(p); }
};
struct StreamFree {
  void operator()(SDL_AudioStream* s) const { sdl().freeAudioStream(s); }
};

SoundBank::Clip convert(const SDL_AudioSpec& source, const Uint8* data, Uint32 length,
                        const PcmFormat& target) {
  std::unique_ptr<SDL_AudioStream, StreamFree> stream(
      sdl().newAudioStream(source.format, source.channels, source.freq, target.format,
                           static_cast<Uint8>(target.channels), target.rate));
  // SDL 2's resampler holds its last 512 input frames back even on flush, which would cut the
  // audible tail off every recording; silence pushed after the end brings all of it out, and
  // the result is then cut to the recording's exact length.
  const std::size_t frameIn = SDL_AUDIO_BITSIZE(source.format) / 8 * source.channels;
  const std::size_t frameOut = SDL_AUDIO_BITSIZE(target.format) / 8 * target.channels;
  const std::size_t framesOut =
      (length / frameIn * target.rate + source.freq / 2) / static_cast<std::size_t>(source.freq);
  const std::vector<Uint8> tail(kResamplerTailFrames * frameIn, source.silence);
  if (!stream || sdl().audioStreamPut(stream.get(), data, static_cast<int>(length)) != 0 ||
      sdl().audioStreamPut(stream.get(), tail.data(), static_cast<int>(tail.size())) != 0 ||
      sdl().audioStreamFlush(stream.get()) != 0) {
    return {};
  }
  SoundBank::Clip out(framesOut * frameOut);
  const int got = sdl().audioStreamGet(stream.get(), out.data(), static_cast<int>(out.size()));
  out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return out;
}

SoundBank::Clip decode(const QByteArray& wav, const PcmFormat& target) {
  SDL_RWops* rw = sdl().rwFromConstMem(wav.constData(), static_cast<int>(wav.size()));
  if (!rw) return {};
  SDL_AudioSpec spec{};
  Uint8* raw = nullptr;
  Uint32 length = 0;
  if (!sdl().loadWavRw(rw, 1, &spec, &raw, &length)) return {};
  std::unique_ptr<Uint8, WavFree> samples(raw);
  return convert(spec, samples.get(), length, target);
}

}  // namespace

std::optional<int> soundSlot(std::string_view key) {
  if (key.size() != 3) return std::nullopt;
  int value = 0;
  for (char c : key) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < kFirstSoundKey || value >= kFirstSoundKey + kSoundCount) return std::nullopt;
  return value - kFirstSoundKey;
}

SoundBank SoundBank::load(const PcmFormat& target) {
  SoundBank bank;
  bank.format_ = target;
  if (!sdlLibrary()) return bank;  // nothing to decode with: every recording plays as silence
  for (int slot = 0; slot < kSoundCount; ++slot) {
    QFile file(QStringLiteral(":/sounds/%1.wav").arg(kFirstSoundKey + slot));
    if (file.open(QIODevice::ReadOnly)) bank.clips_[slot] = decode(file.readAll(), target);
  }
  return bank;
}

const SoundBank::Clip* SoundBank::clip(std::string_view key) const {
  const std::optional<int> slot = soundSlot(key);
  return slot ? &clips_[*slot] : nullptr;
}

int SoundBank::loadedCount() const {
  int count = 0;
  for (const Clip& c : clips_) count += c.empty() ? 0 : 1;
  return count;
}

}  // namespace tessel
