// Prints the program's own tables as JSON, for the scripts in tools/ that remake the assets from
// them: the 96 kana cells (tools/make_chart.py draws the chart under them), the window's texts
// (tools/make_font.py keeps their characters in the caption font) and the recordings' format
// (tools/make_sounds.sh writes them in it). The tables stay in the program's code; the scripts
// read them through this, never by reading the code's text.
//
//   tessel_facts
#include <QString>
#include <cstdio>
#include <string>
#include <string_view>

#include "form/kana_cells.h"
#include "form/layout.h"
#include "sound/sound_bank.h"

namespace {

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + '"';
}

std::string jsonString(std::u16string_view text) {
  return jsonString(
      QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).toStdString());
}

}  // namespace

int main() {
  using namespace tessel;
  std::printf("{\n  \"twips_per_pixel\": %d,\n  \"cells\": [\n", kTwipsPerPixel);
  const auto cells = allCells();
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const KanaCell& c = cells[i];
    std::printf(
        "    {\"index\": %d, \"script\": \"%s\", \"column\": %d, \"row\": %d, \"kana\": %s, "
        "\"left\": %d, \"top\": %d, \"size\": %d}%s\n",
        c.index, c.script == Script::Hiragana ? "hiragana" : "katakana", c.column, c.row,
        jsonString(c.kana).c_str(), c.left, c.top, kCellSize, i + 1 < cells.size() ? "," : "");
  }
  std::printf("  ],\n  \"texts\": [%s, %s", jsonString(kWindowCaption).c_str(),
              jsonString(kAutoReadOnCaption).c_str());
  for (const ControlSpec& spec : windowLayout()) {
    if (!spec.caption.empty()) std::printf(", %s", jsonString(spec.caption).c_str());
  }
  constexpr PcmFormat kFormat = kRecordingFormat;
  std::printf("],\n  \"recording_format\": {\"rate\": %d, \"channels\": %d, \"bits\": %d}\n}\n",
              kFormat.rate, kFormat.channels, 8 * kFormat.bytesPerSample);
}
