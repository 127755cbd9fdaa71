#include "form/kana_cells.h"

#include <array>

namespace tessel {
namespace {

struct ChartPosition {
  int column, row;
  std::string_view hiragana, katakana;
  std::string_view romaji;  // Hepburn, for the accessible names of the cells
};

// Chart order: down each column, columns from right to left; the gaps of the や, わ and ん
// columns have no position.
constexpr std::array<ChartPosition, kKanaPositions> kPositions{{
    {1, 1, "あ", "ア", "a"},   {1, 2, "い", "イ", "i"},   {1, 3, "う", "ウ", "u"},
    {1, 4, "え", "エ", "e"},   {1, 5, "お", "オ", "o"},   {2, 1, "か", "カ", "ka"},
    {2, 2, "き", "キ", "ki"},  {2, 3, "く", "ク", "ku"},  {2, 4, "け", "ケ", "ke"},
    {2, 5, "こ", "コ", "ko"},  {3, 1, "さ", "サ", "sa"},  {3, 2, "し", "シ", "shi"},
    {3, 3, "す", "ス", "su"},  {3, 4, "せ", "セ", "se"},  {3, 5, "そ", "ソ", "so"},
    {4, 1, "た", "タ", "ta"},  {4, 2, "ち", "チ", "chi"}, {4, 3, "つ", "ツ", "tsu"},
    {4, 4, "て", "テ", "te"},  {4, 5, "と", "ト", "to"},  {5, 1, "な", "ナ", "na"},
    {5, 2, "に", "ニ", "ni"},  {5, 3, "ぬ", "ヌ", "nu"},  {5, 4, "ね", "ネ", "ne"},
    {5, 5, "の", "ノ", "no"},  {6, 1, "は", "ハ", "ha"},  {6, 2, "ひ", "ヒ", "hi"},
    {6, 3, "ふ", "フ", "fu"},  {6, 4, "へ", "ヘ", "he"},  {6, 5, "ほ", "ホ", "ho"},
    {7, 1, "ま", "マ", "ma"},  {7, 2, "み", "ミ", "mi"},  {7, 3, "む", "ム", "mu"},
    {7, 4, "め", "メ", "me"},  {7, 5, "も", "モ", "mo"},  {8, 1, "や", "ヤ", "ya"},
    {8, 3, "ゆ", "ユ", "yu"},  {8, 5, "よ", "ヨ", "yo"},  {9, 1, "ら", "ラ", "ra"},
    {9, 2, "り", "リ", "ri"},  {9, 3, "る", "ル", "ru"},  {9, 4, "れ", "レ", "re"},
    {9, 5, "ろ", "ロ", "ro"},  {10, 1, "わ", "ワ", "wa"}, {10, 2, "ゐ", "ヰ", "wi"},
    {10, 4, "ゑ", "ヱ", "we"}, {10, 5, "を", "ヲ", "wo"}, {11, 1, "ん", "ン", "n"},
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
  KanaCell cell{static_cast<std::int16_t>(hira ? position : kKatakanaOffset + position),
                position,
                script,
                p.column,
                p.row,
                hira ? p.hiragana : p.katakana,
                p.romaji,
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

constexpr std::size_t kCellCount = std::size_t{2} * kKanaPositions;  // both scripts

constexpr std::array<KanaCell, kCellCount> buildCells() {
  std::array<KanaCell, kCellCount> cells{};
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
  if (index > kKatakanaOffset && index <= kKatakanaOffset + kKanaPositions)
    return &kCells[kKanaPositions + index - kKatakanaOffset - 1];
  return nullptr;
}

std::string spokenName(const KanaCell& cell) {
  return std::string(cell.kana) + ' ' + std::string(cell.romaji);
}

}  // namespace tessel
