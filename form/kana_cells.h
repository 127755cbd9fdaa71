// The 96 click targets of the kana chart.
//
// Over every kana of the chart picture lies an invisible 615 x 615 twip cell. Hiragana cells are
// numbered 1..48 in chart order (down each column, columns from right to left); the katakana cell
// of the same chart position has index 100 + n. The table is fixed data: cells never move.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "form/units.h"

namespace tessel {

enum class Script : std::uint8_t { Hiragana, Katakana };

struct KanaCell {
  std::int16_t index;  // 1..48 or 101..148
  int position;        // chart position 1..48, shared by a kana and its katakana partner
  Script script;
  int column;               // 1 (rightmost) .. 11
  int row;                  // 1 (top) .. 5
  std::string_view kana;    // UTF-8
  std::string_view romaji;  // Hepburn
  int left;                 // twips, relative to the window's client area
  int top;
};

inline constexpr int kCellSize = 615;  // twips, both ways
inline constexpr int kKanaPositions = 48;
// A katakana cell's index is its chart position plus this; a hiragana cell's is the position.
inline constexpr std::int16_t kKatakanaOffset = 100;

// All 96 cells: hiragana 1..48, then katakana 101..148.
std::span<const KanaCell> allCells();

// The cell with this index, or nullptr for 0 and below, 49..100 and 149 and above.
const KanaCell* findCell(std::int16_t index);

// The kana and its reading, "か ka": what a screen reader says for the cell.
std::string spokenName(const KanaCell& cell);

}  // namespace tessel
