#include "sound/sound_bank.h"

#include <QResource>
#include <algorithm>
#include <cstring>
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

std::vector<std::uint8_t> convert(const SDL_AudioSpec& source, const Uint8* data, Uint32 length,
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
  std::vector<std::uint8_t> out(framesOut * frameOut);
  const int got = sdl().audioStreamGet(stream.get(), out.data(), static_cast<int>(out.size()));
  out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return out;
}

std::vector<std::uint8_t> decode(SoundBank::Clip wav, const PcmFormat& target) {
  if (!sdlLibrary()) return {};  // nothing to decode with: the recording plays as silence
  SDL_RWops* rw = sdl().rwFromConstMem(wav.data(), static_cast<int>(wav.size()));
  if (!rw) return {};
  SDL_AudioSpec spec{};
  Uint8* raw = nullptr;
  Uint32 length = 0;
  if (!sdl().loadWavRw(rw, 1, &spec, &raw, &length)) return {};
  std::unique_ptr<Uint8, WavFree> samples(raw);
  return convert(spec, samples.get(), length, target);
}

std::uint32_t le32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// The samples of a RIFF WAVE file whose data are already 16-bit PCM in `target`'s rate and
// channels, on a little-endian machine; nothing if the file is anything else or malformed.
std::optional<SoundBank::Clip> samplesAsTheyAre(SoundBank::Clip wav, const PcmFormat& target) {
  if (target.format != AUDIO_S16LSB || AUDIO_S16SYS != AUDIO_S16LSB || wav.size() < 12 ||
      std::memcmp(wav.data(), "RIFF", 4) != 0 || std::memcmp(wav.data() + 8, "WAVE", 4) != 0) {
    return std::nullopt;
  }
  bool formatMatches = false;
  for (std::size_t at = 12; at + 8 <= wav.size();) {
    const std::uint8_t* chunk = wav.data() + at;
    const std::size_t size = le32(chunk + 4);
    if (size > wav.size() - at - 8) return std::nullopt;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      formatMatches = size >= 16 && le16(chunk + 8) == 1 &&  // integer PCM
                      le16(chunk + 10) == target.channels &&
                      le32(chunk + 12) == static_cast<std::uint32_t>(target.rate) &&
                      le16(chunk + 22) == 16;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!formatMatches) return std::nullopt;
      return wav.subspan(at + 8, size - size % (2 * static_cast<std::size_t>(target.channels)));
    }
    at += 8 + size + size % 2;  // chunks are padded to even sizes
  }
  return std::nullopt;
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
  return bank;
}

const SoundBank::Clip* SoundBank::clip(std::string_view key) const {
  const std::optional<int> slot = soundSlot(key);
  if (!slot) return nullptr;
  if (!found_[*slot]) {
    clips_[*slot] = find(*slot);
    found_[*slot] = true;
  }
  return &clips_[*slot];
}

SoundBank::Clip SoundBank::find(int slot) const {
  // Stored uncompressed (assets/sounds/CMakeLists.txt), so this is the executable's own copy.
  const QResource file(QStringLiteral(":/sounds/%1.wav").arg(kFirstSoundKey + slot));
  if (!file.isValid() || file.compressionAlgorithm() != QResource::NoCompression) return {};
  const Clip wav(file.data(), static_cast<std::size_t>(file.size()));
  if (const std::optional<Clip> samples = samplesAsTheyAre(wav, format_)) return *samples;
  converted_[slot] = decode(wav, format_);
  return converted_[slot];
}

int SoundBank::loadedCount() const {
  int count = 0;
  for (int slot = 0; slot < kSoundCount; ++slot)
    count += clip(std::to_string(kFirstSoundKey + slot))->empty() ? 0 : 1;
  return count;
}

void ClipReader::read(std::uint8_t* out, std::size_t bytes, std::uint8_t silence) {
  std::size_t copied = 0;
  if (clip_) {
    copied = std::min(bytes, clip_->size() - position_);
    std::memcpy(out, clip_->data() + position_, copied);
    position_ += copied;
    if (position_ == clip_->size()) clip_ = nullptr;
  }
  std::memset(out + copied, silence, bytes - copied);
}

}  // namespace tessel
