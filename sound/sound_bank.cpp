#include "sound/sound_bank.h"

#include <QResource>
#include <algorithm>
#include <cstring>
#include <string>

namespace tessel {
namespace {

std::uint32_t le32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
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

std::optional<SoundBank::Clip> samplesAsStored(SoundBank::Clip wav) {
  constexpr PcmFormat kFormat = kRecordingFormat;
  if (wav.size() < 12 || std::memcmp(wav.data(), "RIFF", 4) != 0 ||
      std::memcmp(wav.data() + 8, "WAVE", 4) != 0) {
    return std::nullopt;
  }
  bool formatMatches = false;
  for (std::size_t at = 12; at + 8 <= wav.size();) {
    const std::uint8_t* chunk = wav.data() + at;
    const std::size_t size = le32(chunk + 4);
    if (size > wav.size() - at - 8) return std::nullopt;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      formatMatches = size >= 16 && le16(chunk + 8) == 1 &&  // integer PCM
                      le16(chunk + 10) == kFormat.channels &&
                      le32(chunk + 12) == static_cast<std::uint32_t>(kFormat.rate) &&
                      le16(chunk + 22) == 8 * kFormat.bytesPerSample;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!formatMatches) return std::nullopt;
      return wav.subspan(at + 8, size - size % static_cast<std::size_t>(kFormat.bytesPerFrame()));
    }
    at += 8 + size + size % 2;  // chunks are padded to even sizes
  }
  return std::nullopt;
}

std::chrono::microseconds playingTime(const SoundBank::Clip& clip) {
  constexpr PcmFormat kFormat = kRecordingFormat;
  return std::chrono::microseconds(static_cast<std::int64_t>(clip.size()) * 1000000 /
                                   (std::int64_t{kFormat.rate} * kFormat.bytesPerFrame()));
}

const SoundBank::Clip* SoundBank::clip(std::string_view key) const {
  const std::optional<int> slot = soundSlot(key);
  if (!slot) return nullptr;
  if (!found_[*slot]) {
    // Stored uncompressed (assets/sounds/CMakeLists.txt), so this is the executable's own copy.
    const QResource file(QStringLiteral(":/sounds/%1.wav").arg(kFirstSoundKey + *slot));
    if (file.isValid() && file.compressionAlgorithm() == QResource::NoCompression) {
      const Clip wav(file.data(), static_cast<std::size_t>(file.size()));
      clips_[*slot] = samplesAsStored(wav).value_or(Clip{});
    }
    found_[*slot] = true;
  }
  return &clips_[*slot];
}

int SoundBank::readableCount() const {
  int count = 0;
  for (int slot = 0; slot < kSoundCount; ++slot)
    count += clip(std::to_string(kFirstSoundKey + slot))->empty() ? 0 : 1;
  return count;
}

void ClipReader::read(std::uint8_t* out, std::size_t bytes) {
  std::size_t copied = 0;
  if (clip_) {
    copied = std::min(bytes, clip_->size() - position_);
    std::memcpy(out, clip_->data() + position_, copied);
    position_ += copied;
    if (position_ == clip_->size()) clip_ = nullptr;
  }
  std::memset(out + copied, 0, bytes - copied);  // signed samples: silence is zero
}

}  // namespace tessel
