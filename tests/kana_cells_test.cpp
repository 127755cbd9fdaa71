// The cell table against the chart as printed: which kana lies where, in chart order, and on which
// pixels the chart artwork draws its box.
#include "form/kana_cells.h"

#include <gtest/gtest.h>

#include <QString>
#include <array>
#include <string>

namespace tessel {
namespace {

// Rows top to bottom, columns right to left; "" is a gap. Each katakana is its hiragana's code
// point plus 0x60.
constexpr std::array<std::array<std::string_view, 11>, 5> kHiraganaChart{{
    {"あ", "か", "さ", "た", "な", "は", "ま", "や", "ら", "わ", "ん"},
    {"い", "き", "し", "ち", "に", "ひ", "み", "", "り", "ゐ", ""},
    {"う", "く", "す", "つ", "ぬ", "ふ", "む", "ゆ", "る", "", ""},
    {"え", "け", "せ", "て", "ね", "へ", "め", "", "れ", "ゑ", ""},
    {"お", "こ", "そ", "と", "の", "ほ", "も", "よ", "ろ", "を", ""},
}};

// Box corners in pixels as the chart artwork draws them; katakana one pixel further right.
constexpr std::array<int, 11> kLeftPx{407, 368, 329, 289, 248, 209, 168, 129, 88, 48, 9};
constexpr std::array<int, 5> kHiraganaTopPx{38, 78, 118, 158, 197};
constexpr std::array<int, 5> kKatakanaTopPx{278, 318, 358, 398, 437};

TEST(KanaCells, FollowTheChartInOrderWithOneCellPerKanaAndScript) {
  int position = 0;
  for (int column = 1; column <= 11; ++column) {
    for (int row = 1; row <= 5; ++row) {
      if (kHiraganaChart[row - 1][column - 1].empty()) continue;
      ++position;
      for (const bool hira : {true, false}) {
        const auto index = static_cast<std::int16_t>(hira ? position : 100 + position);
        const KanaCell* cell = findCell(index);
        ASSERT_NE(cell, nullptr) << index;
        EXPECT_EQ(cell->index, index);
        EXPECT_EQ(cell->position, position);
        EXPECT_EQ(cell->script, hira ? Script::Hiragana : Script::Katakana);
        std::u32string kana =
            QString::fromUtf8(kHiraganaChart[row - 1][column - 1]).toStdU32String();
        if (!hira) kana[0] += 0x60;
        EXPECT_EQ(QString::fromStdU32String(kana).toStdString(), cell->kana)
            << "cell " << index << " at column " << column << ", row " << row;
      }
    }
  }
  EXPECT_EQ(position, kKanaPositions);
  EXPECT_EQ(allCells().size(), 96u);
}

TEST(KanaCells, LieOnTheChartsBoxesInWholePixels) {
  for (const KanaCell& cell : allCells()) {
    SCOPED_TRACE("cell " + std::to_string(cell.index));
    const bool hira = cell.script == Script::Hiragana;
    int left = kLeftPx[cell.column - 1] + (hira ? 0 : 1);
    int top = (hira ? kHiraganaTopPx : kKatakanaTopPx)[cell.row - 1];
    if (cell.index == 118) top += 1;  // ツ and ト sit off the grid, and the artwork with them
    if (cell.index == 120) left -= 1, top += 1;
    EXPECT_EQ(cell.left, left * kTwipsPerPixel);
    EXPECT_EQ(cell.top, top * kTwipsPerPixel);
  }
}

}  // namespace
}  // namespace tessel
