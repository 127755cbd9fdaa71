// Finds the program's recordings in what SDL's disk audio driver wrote while the program ran.
//
// The player copies a clip into the device buffers unchanged, so a recording that played to its
// end appears in the file as one exact run of bytes: the clip as SoundBank converts it for the
// device format the program asks for. A clip cut off by the next request is not found, which is
// the point: "played whole" means every byte reached the output.
//
//   audio_match [--from BYTE] [--to BYTE] FILE KEY...
//       One line per whole occurrence: "KEY OFFSET SECONDS", offsets in bytes from the start of
//       the file, SECONDS = OFFSET / bytes per second; "KEY none" when there is none.
//       Exit 0 when every KEY occurs at least once, 1 otherwise.
//   audio_match --silent [--from BYTE] [--to BYTE] FILE
//       Exit 0 when every sample in the range is silence; otherwise 1 and "sound at OFFSET".
//   audio_match --info
//       "bytes_per_second N" for the device format, and each key's clip length in bytes.
//   audio_match --layout
//       Where the scripts find things, from the program's own layout table: "title TEXT", then
//       "NAME X Y" for the centre of each control in window pixels (a button: its frame's), and
//       "cellN X Y" for each kana cell.
//
// --from and --to bound the part of the file searched (a clip must lie wholly inside); they are
// rounded down to whole frames. Exit status 2 means the arguments or the file were unusable.
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "form/layout.h"
#include "sound/sound_bank.h"
#include "sound/sound_player.h"

namespace {

// What the program opens its output with; the disk driver grants it unchanged.
constexpr tessel::PcmFormat kDeviceFormat = tessel::kOutputRequest;
constexpr std::size_t kFrameBytes =
    SDL_AUDIO_BITSIZE(kDeviceFormat.format) / 8 * static_cast<std::size_t>(kDeviceFormat.channels);
constexpr double kBytesPerSecond = static_cast<double>(kDeviceFormat.rate) * kFrameBytes;

int usage() {
  std::fprintf(stderr,
               "usage: audio_match [--from BYTE] [--to BYTE] FILE KEY...\n"
               "       audio_match --silent [--from BYTE] [--to BYTE] FILE\n"
               "       audio_match --info\n");
  return 2;
}

std::optional<std::size_t> parseBytes(const char* text) {
  char* end = nullptr;
  const long long value = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || value < 0) return std::nullopt;
  return static_cast<std::size_t>(value) / kFrameBytes * kFrameBytes;
}

// Byte offsets, frame-aligned, at which `clip` occurs completely inside data[from, to).
//
// The search runs on the clip's audible core, from its first to its last non-zero byte: the
// capture is mostly silence, and a pattern that begins or ends in zeros would make every silent
// stretch a near-match to be compared byte by byte. The zeros around the core are checked after.
std::vector<std::size_t> occurrences(const std::vector<std::uint8_t>& data, std::size_t from,
                                     std::size_t to, const std::vector<std::uint8_t>& clip) {
  std::vector<std::size_t> found;
  const auto nonzero = [](std::uint8_t b) { return b != 0; };
  const auto coreBegin = std::find_if(clip.begin(), clip.end(), nonzero);
  if (coreBegin == clip.end() || to < from || to - from < clip.size()) return found;
  const auto coreEnd = std::find_if(clip.rbegin(), clip.rend(), nonzero).base();
  const auto lead = static_cast<std::size_t>(coreBegin - clip.begin());

  const auto first = data.begin() + static_cast<std::ptrdiff_t>(from + lead);
  const auto last = data.begin() + static_cast<std::ptrdiff_t>(to);
  const std::boyer_moore_horspool_searcher searcher(coreBegin, coreEnd);
  for (auto it = first;;) {
    const auto hit = std::search(it, last, searcher);
    if (hit == last) break;
    it = hit + 1;
    const auto offset = static_cast<std::size_t>(hit - data.begin()) - lead;
    if (offset % kFrameBytes != 0 || offset + clip.size() > to) continue;
    if (std::equal(clip.begin(), clip.end(), data.begin() + static_cast<std::ptrdiff_t>(offset))) {
      found.push_back(offset);
    }
  }
  return found;
}

void printLayout() {
  using tessel::kTwipsPerPixel;
  const auto& title = tessel::kWindowCaption;
  std::printf(
      "title %s\n",
      QString::fromUtf16(title.data(), static_cast<qsizetype>(title.size())).toUtf8().data());
  std::map<std::string_view, const tessel::ControlSpec*> byName;
  for (const tessel::ControlSpec& spec : tessel::windowLayout()) {
    byName.emplace(spec.name, &spec);
    // A button fills its frame: the frame's centre is the button's.
    const tessel::ControlSpec& at = spec.container.empty() ? spec : *byName.at(spec.container);
    if (at.width == 0) continue;  // the timer and the image list are not on screen
    const std::string name = spec.kind == tessel::ControlKind::Cell
                                 ? "cell" + std::to_string(spec.index)
                                 : std::string(spec.name);
    std::printf("%s %d %d\n", name.c_str(), (at.left + at.width / 2) / kTwipsPerPixel,
                (at.top + at.height / 2) / kTwipsPerPixel);
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool silent = false, info = false;
  std::size_t from = 0;
  std::optional<std::size_t> to;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--silent") {
      silent = true;
    } else if (arg == "--info") {
      info = true;
    } else if (arg == "--layout") {
      printLayout();
      return 0;
    } else if ((arg == "--from" || arg == "--to") && i + 1 < argc) {
      const auto value = parseBytes(argv[++i]);
      if (!value) return usage();
      (arg == "--from" ? from : to.emplace()) = *value;
    } else if (arg.starts_with("--")) {
      return usage();
    } else {
      positional.emplace_back(arg);
    }
  }

  if (info) {
    const auto bank = tessel::SoundBank::load(kDeviceFormat);
    std::printf("bytes_per_second %.0f\n", kBytesPerSecond);
    for (int key = tessel::kFirstSoundKey; key < tessel::kFirstSoundKey + tessel::kSoundCount;
         ++key) {
      std::printf("%d %zu\n", key, bank.clip(std::to_string(key))->size());
    }
    return 0;
  }
  if (positional.empty() || (silent && positional.size() != 1) ||
      (!silent && positional.size() < 2)) {
    return usage();
  }

  std::ifstream in(positional[0], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "audio_match: cannot read %s\n", positional[0].c_str());
    return 2;
  }
  const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in),
                                       std::istreambuf_iterator<char>()};
  // The file may still be growing: only whole frames count.
  const std::size_t size = data.size() / kFrameBytes * kFrameBytes;
  const std::size_t end = std::min(to.value_or(size), size);
  const std::size_t begin = std::min(from, end);

  if (silent) {
    // Signed 16-bit silence is all-zero bytes.
    const auto loud = std::find_if(data.begin() + static_cast<std::ptrdiff_t>(begin),
                                   data.begin() + static_cast<std::ptrdiff_t>(end),
                                   [](std::uint8_t b) { return b != 0; });
    if (loud == data.begin() + static_cast<std::ptrdiff_t>(end)) return 0;
    const auto offset = static_cast<std::size_t>(loud - data.begin()) / kFrameBytes * kFrameBytes;
    std::printf("sound at %zu\n", offset);
    return 1;
  }

  const auto bank = tessel::SoundBank::load(kDeviceFormat);
  bool all = true;
  for (std::size_t k = 1; k < positional.size(); ++k) {
    const std::string& key = positional[k];
    const auto* clip = bank.clip(key);
    if (!clip || clip->empty()) {
      std::fprintf(stderr, "audio_match: no recording has key \"%s\"\n", key.c_str());
      return 2;
    }
    const auto hits = occurrences(data, begin, end, *clip);
    if (hits.empty()) {
      std::printf("%s none\n", key.c_str());
      all = false;
    }
    for (std::size_t offset : hits) {
      std::printf("%s %zu %.4f\n", key.c_str(), offset,
                  static_cast<double>(offset) / kBytesPerSecond);
    }
  }
  return all ? 0 : 1;
}
