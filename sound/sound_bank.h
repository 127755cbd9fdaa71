// The 48 built-in recordings, played as they are stored in the executable: nothing is decoded or
// copied, so starting one is only handing over a pointer. Each recording is found the first time it
// is asked for, so the pages of recordings never played are never read.
#pragma once

#include <array>
#include <bit>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tessel {

inline constexpr int kFirstSoundKey = 101;
inline constexpr int kSoundCount = 48;

// "101".."148" → 0..47; nothing for any other text (no sign, no spaces, exactly three digits).
std::optional<int> soundSlot(std::string_view key);

// The recordings' format, stated here once: tools/make_sounds.sh writes them so, the bank reads
// them only so, and every output asks for it.
struct PcmFormat {
  int rate;
  int channels;
  int bytesPerSample;  // signed, little-endian
  constexpr int bytesPerFrame() const { return channels * bytesPerSample; }
};
inline constexpr PcmFormat kRecordingFormat{22050, 1, 2};
static_assert(std::endian::native == std::endian::little,
              "the recordings are little-endian and are played as stored");

class SoundBank {
 public:
  using Clip = std::span<const std::uint8_t>;

  SoundBank() = default;
  SoundBank(const SoundBank&) = delete;
  SoundBank& operator=(const SoundBank&) = delete;

  // The samples of the recording with this key, or nullptr where no recording has it. A recording
  // that is not stored in kRecordingFormat is empty, and so silent. Not thread-safe: one thread
  // (the window's) asks; the clip itself may be read anywhere.
  const Clip* clip(std::string_view key) const;
  // How many of the 48 recordings could be read as stored.
  int readableCount() const;

 private:
  mutable std::array<Clip, kSoundCount> clips_;
  mutable std::array<bool, kSoundCount> found_{};
};

// How long `clip` plays.
std::chrono::microseconds playingTime(const SoundBank::Clip& clip);

// The samples of a RIFF WAVE file in kRecordingFormat; nothing if it is anything else or malformed.
std::optional<SoundBank::Clip> samplesAsStored(SoundBank::Clip wav);

// How far an output has played a clip. Not thread-safe: used by the one thread that feeds the
// output.
class ClipReader {
 public:
  // Plays `clip` (nullptr or empty: nothing) from its start.
  void start(const SoundBank::Clip* clip) {
    clip_ = clip && !clip->empty() ? clip : nullptr;
    position_ = 0;
  }
  // Writes `bytes` bytes to `out`: the clip's next ones, then silence once it has ended.
  void read(std::uint8_t* out, std::size_t bytes);

 private:
  const SoundBank::Clip* clip_ = nullptr;
  std::size_t position_ = 0;
};

}  // namespace tessel
