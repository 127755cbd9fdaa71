// Moving through the chart from the keyboard, the way a learner reads it.
//
// Down reads on: down each column, then from the top of the next column to the left, from ん on
// to the katakana ア and from ン round to あ; Up reads back. Left and Right go to the neighbouring
// column that has a kana in the same row, skipping the gaps of the や, わ and ん columns. The half
// steps go between a kana and its partner in the other script; First and Last jump to the ends of
// the script the focus is in.
#pragma once

#include <cstdint>

namespace tessel {

enum class ChartStep : std::uint8_t { Up, Down, Left, Right, ToHiragana, ToKatakana, First, Last };

// The cell one `step` away from cell `index`, which must name a cell; `index` itself where the
// step leads off the chart (left of ん's column, right of あ's, or into a half it is already in).
std::int16_t stepFrom(std::int16_t index, ChartStep step);

}  // namespace tessel
