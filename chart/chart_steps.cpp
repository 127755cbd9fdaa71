#include "chart/chart_steps.h"

#include "form/kana_cells.h"

namespace tessel {
namespace {

// Reading order is the table's own: hiragana 1..48, then katakana 101..148.
std::int16_t inReadingOrder(std::int16_t index, int offset) {
  const auto cells = allCells();
  const auto count = static_cast<std::ptrdiff_t>(cells.size());
  const std::ptrdiff_t at = findCell(index) - cells.data();
  return cells[static_cast<std::size_t>(((at + offset) % count + count) % count)].index;
}

// The nearest column in `direction` (+1 leftwards, -1 rightwards) with a kana in this row.
std::int16_t acrossTheRow(const KanaCell& from, int direction) {
  const KanaCell* best = nullptr;
  for (const KanaCell& cell : allCells()) {
    const int distance = (cell.column - from.column) * direction;
    if (cell.script != from.script || cell.row != from.row || distance <= 0) continue;
    if (!best || distance < (best->column - from.column) * direction) best = &cell;
  }
  return best ? best->index : from.index;
}

}  // namespace

std::int16_t stepFrom(std::int16_t index, ChartStep step) {
  const KanaCell& cell = *findCell(index);
  const bool hiragana = cell.script == Script::Hiragana;
  const auto inScript = [hiragana](int position) {
    return static_cast<std::int16_t>(hiragana ? position : kKatakanaOffset + position);
  };
  switch (step) {
    case ChartStep::Down:
      return inReadingOrder(index, 1);
    case ChartStep::Up:
      return inReadingOrder(index, -1);
    case ChartStep::Left:
      return acrossTheRow(cell, 1);  // columns count from the right
    case ChartStep::Right:
      return acrossTheRow(cell, -1);
    case ChartStep::ToHiragana:
      return static_cast<std::int16_t>(cell.position);
    case ChartStep::ToKatakana:
      return static_cast<std::int16_t>(kKatakanaOffset + cell.position);
    case ChartStep::First:
      return inScript(1);
    case ChartStep::Last:
      return inScript(kKanaPositions);
  }
  return index;
}

}  // namespace tessel
