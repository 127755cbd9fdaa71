// Keyboard steps through the chart: reading on down the columns and from one script into the
// other, across a row over the gaps, and staying put where a step leads off the chart.
#include "chart/chart_steps.h"

#include <gtest/gtest.h>

namespace tessel {
namespace {

struct StepCase {
  std::int16_t from;
  ChartStep step;
  std::int16_t to;
};

void PrintTo(const StepCase& c, std::ostream* os) {
  *os << c.from << " by step " << static_cast<int>(c.step) << " to " << c.to;
}

class Steps : public ::testing::TestWithParam<StepCase> {};

TEST_P(Steps, LeadToTheNextKanaAsTheChartIsRead) {
  const StepCase& c = GetParam();
  EXPECT_EQ(stepFrom(c.from, c.step), c.to);
}

using S = ChartStep;
INSTANTIATE_TEST_SUITE_P(
    KnownCells, Steps,
    ::testing::Values(
        // Down the column, on to the top of the next, over や's gaps, into katakana and round.
        StepCase{1, S::Down, 2}, StepCase{5, S::Down, 6}, StepCase{36, S::Down, 37},
        StepCase{48, S::Down, 101}, StepCase{148, S::Down, 1}, StepCase{6, S::Up, 5},
        StepCase{101, S::Up, 48}, StepCase{1, S::Up, 148},
        // Left is the next column of the chart; a gap is stepped over, and the edge is kept.
        StepCase{7, S::Left, 12}, StepCase{32, S::Left, 40}, StepCase{137, S::Left, 141},
        StepCase{45, S::Left, 45}, StepCase{41, S::Left, 41}, StepCase{48, S::Right, 44},
        StepCase{42, S::Right, 34}, StepCase{146, S::Right, 142}, StepCase{1, S::Right, 1},
        // Between the halves, and to the ends of the half the focus is in.
        StepCase{6, S::ToKatakana, 106}, StepCase{106, S::ToKatakana, 106},
        StepCase{106, S::ToHiragana, 6}, StepCase{6, S::ToHiragana, 6}, StepCase{33, S::First, 1},
        StepCase{133, S::First, 101}, StepCase{7, S::Last, 48}, StepCase{107, S::Last, 148}));

}  // namespace
}  // namespace tessel
