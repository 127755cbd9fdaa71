// The 48 built-in recordings, decoded and converted to the output device's format once, at
// start-up, so that starting one later is only a pointer swap.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>
#include <optional>
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
  using Clip = std::vector<std::uint8_t>;

  // Reads every embedded recording and converts it to `target`. A recording that is missing or
  // does not decode stays empty and so plays as silence.
  static SoundBank load(const PcmFormat& target);

  // The converted samples of the recording with this key, or nullptr where no recording has it.
  const Clip* clip(std::string_view key) const;
  const PcmFormat& format() const { return format_; }
  int loadedCount() const;

 private:
  PcmFormat format_;
  std::array<Clip, kSoundCount> clips_;
};

}  // namespace tessel
