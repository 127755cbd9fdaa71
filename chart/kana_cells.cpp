#include "chart/kana_cells.h"

#include <array>

namespace tessel {
namespace {

struct ChartPosition {
  int column, row;
  std::string_view hiragana, katakana;
};

// Chart order: down each column, columns from right to left; the gaps of the や, わ and ん
// columns have no position.
constexpr std::array<ChartPosition, kKanaPositions> kPositions{{
    {1, 1, "あ", "ア"},  {1, 2, "い", "イ"},  {1, 3, "う", "ウ"},  {1, 4, "え", "エ"},
    {1, 5, "お", "オ"},  {2, 1, "か", "カ"},  {2, 2, "き", "キ"},  {2, 3, "く", "ク"},
    {2, 4, "け", "ケ"},  {2, 5, "こ", "コ"},  {3, 1, "さ", "サ"},  {3, 2, "し", "シ"},
    {3, 3, "す", "ス"},  {3, 4, "せ", "セ"},  {3, 5, "そ", "ソ"},  {4, 1, "た", "タ"},
    {4, 2, "ち", "チ"},  {4, 3, "つ", "ツ"},  {4, 4, "て", "テ"},  {4, 5, "と", "ト"},
    {5, 1, "な", "ナ"},  {5, 2, "に", "ニ"},  {5, 3, "ぬ", "ヌ"},  {5, 4, "ね", "ネ"},
    {5, 5, "の", "ノ"},  {6, 1, "は", "ハ"},  {6, 2, "ひ", "ヒ"},  {6, 3, "ふ", "フ"},
    {6, 4, "へ", "ヘ"},  {6, 5, "ほ", "ホ"},  {7, 1, "ま", "マ"},  {7, 2, "み", "ミ"},
    {7, 3, "む", "ム"},  {7, 4, "め", "メ"},  {7, 5, "も", "モ"},  {8, 1, "や", "ヤ"},
    {8, 3, "ゆ", "ユ"},  {8, 5, "よ", "ヨ"},  {9, 1, "ら", "ラ"},  {9, 2, "り", "リ"},
    {9, 3, "る", "ル"},  {9, 4, "れ", "レ"},  {9, 5, "ろ", "ロ"},  {10, 1, "わ", "ワ"},
    {10, 2, "ゐ", "ヰ"}, {10, 4, "ゑ", "ヱ"}, {10, 5, "を", "ヲ"}, {11, 1, "ん", "ン"},
}};

// Left edge by column (1..11) and top edge by row (1..5), in twips.
constexpr std::array<int, 11> kHiraganaLeft{6105, 5520, 4935, 4335, 3720, 3135,
                                            2520, 1935, 1320, 720,  135};
constexpr std::array<int, 11> kKatakanaLeft{6120, 5535, 4950, 4350, 3735, 3150,
                                            2535, 1950, 1335, 735,  150};
constexpr std::array<int, 5> kHiraganaTop{570, 1170, 1770, 2370, 2955};
constexpr std::array<int, 5> kKatakanaTop{4170, 4770, 5370, 5970, 6555};

struct Override {
  std::int16_t index;
  int left, top;
};
// Two katakana cells sit a little off the grid, and the chart artwork is drawn to match.
constexpr std::array<Override, 2> kOffGrid{{{118, 4350, 5385}, {120, 4335, 6570}}};

constexpr KanaCell makeCell(int position, Script script) {
  const ChartPosition& p = kPositions[position - 1];
  const bool hira = script == Script::Hiragana;
  KanaCell cell{static_cast<std::int16_t>(hira ? position : 100 + position),
                position,
                script,
                p.column,
                p.row,
                hira ? p.hiragana : p.katakana,
                (hira ? kHiraganaLeft : kKatakanaLeft)[p.column - 1],
                (hira ? kHiraganaTop : kKatakanaTop)[p.row - 1]};
  for (const Override& o : kOffGrid) {
    if (o.index == cell.index) {
      cell.left = o.left;
      cell.top = o.top;
    }
  }
  return cell;
}

constexpr std::array<KanaCell, 2 * kKanaPositions> buildCells() {
  std::array<KanaCell, 2 * kKanaPositions> cells{};
  for (int n = 1; n <= kKanaPositions; ++n) {
    cells[n - 1] = makeCell(n, Script::Hiragana);
    cells[kKanaPositions + n - 1] = makeCell(n, Script::Katakana);
  }
  return cells;
}

constexpr auto kCells = buildCells();

}  // namespace

std::span<const KanaCell> allCells() {
  return kCells;
}

const KanaCell* findCell(std::int16_t index) {
  if (index >= 1 && index <= kKanaPositions) return &kCells[index - 1];
  if (index >= 101 && index <= 100 + kKanaPositions) return &kCells[kKanaPositions + index - 101];
  return nullptr;
}

}  // namespace tessel
