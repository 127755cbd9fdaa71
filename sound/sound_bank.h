// The 48 built-in recordings in the output device's format, so that starting one is only a
// pointer swap. Recordings already in that format (the usual case: the outputs ask for the
// recordings' own format) are played straight from the executable's pages, with nothing decoded
// or copied; others are converted once. Each recording is found the first time it is asked for,
// so the pages of recordings never played are never read.
#pragma once

#include <SDL.h>

#include <array>
#include <cstddef>
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

  // The bank for `target`'s format. A recording that is missing or does not decode is empty and
  // so plays as silence.
  static SoundBank load(const PcmFormat& target);

  SoundBank() = default;
  // The clips may point into the bank's own storage, which a move keeps and a copy would not.
  SoundBank(SoundBank&&) = default;
  SoundBank& operator=(SoundBank&&) = default;
  SoundBank(const SoundBank&) = delete;
  SoundBank& operator=(const SoundBank&) = delete;

  // The samples of the recording with this key, or nullptr where no recording has it. Not
  // thread-safe: one thread (the window's) asks; the clip itself may be read anywhere.
  const Clip* clip(std::string_view key) const;
  const PcmFormat& format() const { return format_; }
  int loadedCount() const;

 private:
  Clip find(int slot) const;

  PcmFormat format_;
  // Filled in on first use.
  mutable std::array<Clip, kSoundCount> clips_;
  mutable std::array<bool, kSoundCount> found_{};
  mutable std::array<std::vector<std::uint8_t>, kSoundCount> converted_;
};

// How far an output has played a clip. Not thread-safe: used by the one thread that feeds the
// output.
class ClipReader {
 public:
  // Plays `clip` (nullptr: nothing) from its start.
  void start(const SoundBank::Clip* clip) {
    clip_ = clip;
    position_ = 0;
  }
  // Writes `bytes` bytes to `out`: the clip's next ones, then `silence` once it has ended.
  void read(std::uint8_t* out, std::size_t bytes, std::uint8_t silence);

 private:
  const SoundBank::Clip* clip_ = nullptr;
  std::size_t position_ = 0;
};

}  // namespace tessel
