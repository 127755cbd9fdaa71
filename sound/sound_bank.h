// The 48 built-in recordings in the output device's format, so that starting one is only a
// pointer swap. Recordings already in that format (the usual case: the outputs ask for the
// recordings' own format) are played straight from the executable's pages, with nothing decoded
// or copied; others are converted once, when the bank is made.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tessel {

inline constexpr int kFirstSoundKey = 101;
inline constexpr int kSoundCount = 48;

// "101".."148" → 0..47; nothing for any other text (no sign, no spaces, exactly three digits).
std::optional<int> soundSlot(std::string_view key);

// The output format the recordings are converted to.
struct PcmFormat {
  int rate = 22050;
  SDL_AudioFormat format = AUDIO_S16SYS;
  int channels = 1;
  friend bool operator==(const PcmFormat&, const PcmFormat&) = default;
};

class SoundBank {
 public:
  using Clip = std::span<const std::uint8_t>;

  // Finds every embedded recording and converts those not in `target`'s format. A recording that
  // is missing or does not decode stays empty and so plays as silence.
  static SoundBank load(const PcmFormat& target);

  SoundBank() = default;
  // The clips may point into the bank's own storage, which a move keeps and a copy would not.
  SoundBank(SoundBank&&) = default;
  SoundBank& operator=(SoundBank&&) = default;
  SoundBank(const SoundBank&) = delete;
  SoundBank& operator=(const SoundBank&) = delete;

  // The converted samples of the recording with this key, or nullptr where no recording has it.
  const Clip* clip(std::string_view key) const;
  const PcmFormat& format() const { return format_; }
  int loadedCount() const;

 private:
  PcmFormat format_;
  std::array<Clip, kSoundCount> clips_;
  std::array<std::vector<std::uint8_t>, kSoundCount> converted_;
};

}  // namespace tessel
