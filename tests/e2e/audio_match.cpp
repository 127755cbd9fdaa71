// Finds the program's recordings in what SDL's disk audio driver wrote while the program ran.
//
// The player copies a clip into the device buffers unchanged, in the recordings' own format, so a
// recording that played to its end appears in the file as one exact run of bytes, as stored. A clip
// cut off by the next request is not found, which is the point: "played whole" means every byte
// reached the output.
//
//   audio_match [--from BYTE] [--to BYTE] [--start MS] FILE KEY...
//       One line per whole occurrence: "KEY OFFSET SECONDS" (bytes and seconds from the start of
//       the file), or "KEY none". Exit 0 when every KEY occurs at least once, 1 otherwise. With
//       --start, only the first MS milliseconds of each recording are looked for: where each
//       began, whether or not it played to its end.
//   audio_match --silent [--from BYTE] [--to BYTE] FILE
//       Exit 0 when every sample in the range is silence; otherwise 1 and "sound at OFFSET".
//   audio_match --info
//       "bytes_per_second N" for the device format, and each key's clip length in bytes.
//   audio_match --layout
//       Where the scripts find things, from the program's own layout table: "title TEXT", then
//       "NAME X Y" for the centre of each control in window pixels (a button: its frame's), and
//       "cellN X Y" for each kana cell.
//   audio_match --names
//       What a screen reader calls each kana cell ("か ka"), one a line, in chart order.
// Exit status 2 means the arguments or the file were unusable.
#include <QString>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "form/kana_cells.h"
#include "form/layout.h"
#include "sound/sound_bank.h"

namespace {

using tessel::kTwipsPerPixel;

// What the program opens its output with; the disk driver grants it unchanged.
constexpr auto kFrameBytes = static_cast<std::size_t>(tessel::kRecordingFormat.bytesPerFrame());
constexpr double kBytesPerSecond = static_cast<double>(tessel::kRecordingFormat.rate) * kFrameBytes;

int usage() {
  std::fprintf(stderr,
               "usage: audio_match [--silent] [--from BYTE] [--to BYTE] [--start MS] FILE KEY...\n"
               "       audio_match --info | --layout | --names\n");
  return 2;
}

void printLayout() {
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
  const std::vector<std::string> args(argv + 1, argv + argc);
  const tessel::SoundBank bank;
  if (args.size() == 1 && args[0] == "--layout") return printLayout(), 0;
  if (args.size() == 1 && args[0] == "--names") {
    for (const tessel::KanaCell& cell : tessel::allCells()) {
      std::printf("%s\n", tessel::spokenName(cell).c_str());
    }
    return 0;
  }
  if (args.size() == 1 && args[0] == "--info") {
    std::printf("bytes_per_second %.0f\n", kBytesPerSecond);
    for (int key = 101; key <= 148; ++key) {
      std::printf("%d %zu\n", key, bank.clip(std::to_string(key))->size());
    }
    return 0;
  }
  bool silent = false;
  std::size_t from = 0, to = SIZE_MAX, start = SIZE_MAX;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--silent") {
      silent = true;
    } else if ((args[i] == "--from" || args[i] == "--to") && i + 1 < args.size()) {
      // Whole frames only.
      (args[i] == "--from" ? from : to) = std::stoull(args[i + 1]) / kFrameBytes * kFrameBytes;
      ++i;
    } else if (args[i] == "--start" && i + 1 < args.size()) {
      start = static_cast<std::size_t>(std::stod(args[++i]) * kBytesPerSecond / 1000) /
              kFrameBytes * kFrameBytes;
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.empty() || (silent != (positional.size() == 1))) return usage();
  std::ifstream in(positional[0], std::ios::binary);
  if (!in) return usage();
  const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in), {}};
  // The file may still be growing: only whole frames count.
  const auto end = data.begin() + static_cast<std::ptrdiff_t>(
                                      std::min(to, data.size() / kFrameBytes * kFrameBytes));
  const auto begin = data.begin() + static_cast<std::ptrdiff_t>(std::min(from, data.size()));
  if (begin > end) return usage();

  if (silent) {  // signed 16-bit silence is all-zero bytes
    const auto loud = std::find_if(begin, end, [](std::uint8_t b) { return b != 0; });
    if (loud == end) return 0;
    std::printf("sound at %td\n", (loud - data.begin()) / kFrameBytes * kFrameBytes);
    return 1;
  }
  bool all = true;
  for (std::size_t k = 1; k < positional.size(); ++k) {
    const auto* whole = bank.clip(positional[k]);
    if (!whole || whole->empty()) return usage();
    const auto clip = whole->first(std::min(start, whole->size()));
    bool found = false;
    for (auto it = std::search(begin, end, clip.begin(), clip.end()); it != end;
         it = std::search(it + 1, end, clip.begin(), clip.end())) {
      const auto offset = it - data.begin();
      if (offset % kFrameBytes != 0) continue;
      found = true;
      std::printf("%s %td %.4f\n", positional[k].c_str(), offset, offset / kBytesPerSecond);
    }
    if (!found) std::printf("%s none\n", positional[k].c_str());
    all = all && found;
  }
  return all ? 0 : 1;
}
