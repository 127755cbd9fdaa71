#include "form/kana_cells.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <set>
#include <string>

namespace tessel {
namespace {

// The chart as printed: rows top to bottom, columns right to left; "" is a gap.
constexpr std::array<std::array<std::string_view, 11>, 5> kHiraganaChart{{
    {"あ", "か", "さ", "た", "な", "は", "ま", "や", "ら", "わ", "ん"},
    {"い", "き", "し", "ち", "に", "ひ", "み", "", "り", "ゐ", ""},
    {"う", "く", "す", "つ", "ぬ", "ふ", "む", "ゆ", "る", "", ""},
    {"え", "け", "せ", "て", "ね", "へ", "め", "", "れ", "ゑ", ""},
    {"お", "こ", "そ", "と", "の", "ほ", "も", "よ", "ろ", "を", ""},
}};
constexpr std::array<std::array<std::string_view, 11>, 5> kKatakanaChart{{
    {"ア", "カ", "サ", "タ", "ナ", "ハ", "マ", "ヤ", "ラ", "ワ", "ン"},
    {"イ", "キ", "シ", "チ", "ニ", "ヒ", "ミ", "", "リ", "ヰ", ""},
    {"ウ", "ク", "ス", "ツ", "ヌ", "フ", "ム", "ユ", "ル", "", ""},
    {"エ", "ケ", "セ", "テ", "ネ", "ヘ", "メ", "", "レ", "ヱ", ""},
    {"オ", "コ", "ソ", "ト", "ノ", "ホ", "モ", "ヨ", "ロ", "ヲ", ""},
}};

// Cell corners in pixels as the chart artwork is drawn; katakana one pixel further right.
constexpr std::array<int, 11> kHiraganaLeftPx{407, 368, 329, 289, 248, 209, 168, 129, 88, 48, 9};
constexpr std::array<int, 5> kHiraganaTopPx{38, 78, 118, 158, 197};
constexpr std::array<int, 5> kKatakanaTopPx{278, 318, 358, 398, 437};

TEST(KanaCells, EveryChartKanaHasExactlyOneCellOfEachScript) {
  std::set<std::int16_t> seen;
  int hira = 0, kata = 0;
  for (const KanaCell& cell : allCells()) {
    EXPECT_TRUE(seen.insert(cell.index).second) << "duplicate index " << cell.index;
    const bool isHira = cell.script == Script::Hiragana;
    (isHira ? hira : kata)++;
    const auto& chart = isHira ? kHiraganaChart : kKatakanaChart;
    EXPECT_EQ(chart[cell.row - 1][cell.column - 1], cell.kana) << "cell " << cell.index;
    EXPECT_EQ(cell.index, isHira ? cell.position : 100 + cell.position);
  }
  EXPECT_EQ(hira, 48);
  EXPECT_EQ(kata, 48);
  int nonGaps = 0;
  for (const auto& row : kHiraganaChart)
    for (std::string_view k : row) nonGaps += k.empty() ? 0 : 1;
  EXPECT_EQ(nonGaps, 48);
}

TEST(KanaCells, PositionsRunDownEachColumnThenRightToLeft) {
  int expected = 1;
  for (int column = 1; column <= 11; ++column) {
    for (int row = 1; row <= 5; ++row) {
      if (kHiraganaChart[row - 1][column - 1].empty()) continue;
      const KanaCell* cell = findCell(static_cast<std::int16_t>(expected));
      ASSERT_NE(cell, nullptr);
      EXPECT_EQ(cell->column, column) << "position " << expected;
      EXPECT_EQ(cell->row, row) << "position " << expected;
      ++expected;
    }
  }
  EXPECT_EQ(expected, 49);
}

TEST(KanaCells, GeometryMatchesTheChartGridInPixels) {
  for (const KanaCell& cell : allCells()) {
    SCOPED_TRACE("cell " + std::to_string(cell.index));
    const bool isHira = cell.script == Script::Hiragana;
    EXPECT_EQ(cell.left % kTwipsPerPixel, 0);
    EXPECT_EQ(cell.top % kTwipsPerPixel, 0);
    const int expectLeft = kHiraganaLeftPx[cell.column - 1] + (isHira ? 0 : 1);
    const int expectTop = (isHira ? kHiraganaTopPx : kKatakanaTopPx)[cell.row - 1];
    if (cell.index == 118) {  // one pixel lower than its row
      EXPECT_EQ(cell.left / kTwipsPerPixel, expectLeft);
      EXPECT_EQ(cell.top / kTwipsPerPixel, expectTop + 1);
    } else if (cell.index == 120) {  // one pixel lower and one to the left
      EXPECT_EQ(cell.left / kTwipsPerPixel, expectLeft - 1);
      EXPECT_EQ(cell.top / kTwipsPerPixel, expectTop + 1);
    } else {
      EXPECT_EQ(cell.left / kTwipsPerPixel, expectLeft);
      EXPECT_EQ(cell.top / kTwipsPerPixel, expectTop);
    }
  }
}

struct CellCase {
  std::int16_t index;
  std::string_view kana;
  int column, row, left, top;
};

class KanaCellCases : public ::testing::TestWithParam<CellCase> {};

TEST_P(KanaCellCases, LooksUpToTheExactRecord) {
  const CellCase& c = GetParam();
  const KanaCell* cell = findCell(c.index);
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->index, c.index);
  EXPECT_EQ(cell->kana, c.kana);
  EXPECT_EQ(cell->column, c.column);
  EXPECT_EQ(cell->row, c.row);
  EXPECT_EQ(cell->left, c.left);
  EXPECT_EQ(cell->top, c.top);
}

INSTANTIATE_TEST_SUITE_P(
    Corners, KanaCellCases,
    ::testing::Values(CellCase{1, "あ", 1, 1, 6105, 570}, CellCase{148, "ン", 11, 1, 150, 4170},
                      CellCase{37, "ゆ", 8, 3, 1935, 1770}, CellCase{46, "ゑ", 10, 4, 720, 2370},
                      CellCase{146, "ヱ", 10, 4, 735, 5970}, CellCase{118, "ツ", 4, 3, 4350, 5385},
                      CellCase{120, "ト", 4, 5, 4335, 6570}, CellCase{105, "オ", 1, 5, 6120, 6555},
                      CellCase{48, "ん", 11, 1, 135, 570}, CellCase{36, "や", 8, 1, 1935, 570},
                      CellCase{38, "よ", 8, 5, 1935, 2955}));

TEST(KanaCells, IndicesOutsideBothRangesFindNothing) {
  constexpr std::int16_t kMin = std::numeric_limits<std::int16_t>::min();
  constexpr std::int16_t kMax = std::numeric_limits<std::int16_t>::max();
  for (std::int16_t index : {std::int16_t{0}, std::int16_t{-1}, std::int16_t{49}, std::int16_t{100},
                             std::int16_t{149}, kMin, kMax}) {
    EXPECT_EQ(findCell(index), nullptr) << index;
  }
}

}  // namespace
}  // namespace tessel
