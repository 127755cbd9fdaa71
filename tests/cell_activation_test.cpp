#include "chart/cell_activation.h"

#include <gtest/gtest.h>

#include "form/kana_cells.h"
#include "support/fakes.h"

namespace tessel {
namespace {

using testing::LoadedChart;

TEST(FormLoad, PointsBothMarkersAtTheFirstCellWithoutSound) {
  ControlModel model;
  testing::RecordingSound sound(model);
  CellActivation chart(model, sound);
  // The stored layout puts the markers elsewhere; loading must replace that.
  ASSERT_EQ(model.imgRight().top(), 975);
  ASSERT_EQ(model.imgTop().left(), 6225);
  chart.Form_Load();
  EXPECT_EQ(model.imgRight().left(), 6945);
  EXPECT_EQ(model.imgRight().top(), 370);
  EXPECT_EQ(model.imgTop().left(), 6205);
  EXPECT_EQ(model.imgTop().top(), 345);
  EXPECT_TRUE(sound.requests.empty());
}

TEST(SoundKey, IsOneFollowedByTheTwoDigitChartPosition) {
  for (const KanaCell& cell : allCells()) {
    char expected[8];
    std::snprintf(expected, sizeof expected, "1%02d", cell.position);
    EXPECT_EQ(soundKey(cell.index), expected) << "cell " << cell.index;
  }
}

TEST(Activation, EveryCellPlaysItsKeyThenPointsBothMarkersAtIt) {
  for (const KanaCell& cell : allCells()) {
    SCOPED_TRACE("cell " + std::to_string(cell.index));
    LoadedChart w;
    w.chart.Image1_Click(cell.index);
    ASSERT_EQ(w.sound.requests.size(), 1u);
    EXPECT_EQ(w.sound.requests[0].key, soundKey(cell.index));
    EXPECT_EQ(w.model.imgRight().left(), 6945);
    EXPECT_EQ(w.model.imgRight().top(), cell.top - 200);
    EXPECT_EQ(w.model.imgTop().left(), cell.left + 100);
    EXPECT_EQ(w.model.imgTop().top(), 345);
  }
}

struct ClickCase {
  std::int16_t index;
  const char* key;
  float rowMarkerTop, columnMarkerLeft;
};

class ActivationCases : public ::testing::TestWithParam<ClickCase> {};

TEST_P(ActivationCases, RequestsTheKeyBeforeMovingTheMarkers) {
  const ClickCase& c = GetParam();
  LoadedChart w;
  w.chart.Image1_Click(40);  // somewhere else first, so every move below is visible
  w.chart.Image1_Click(c.index);
  ASSERT_EQ(w.sound.requests.size(), 2u);
  const auto& request = w.sound.requests[1];
  EXPECT_EQ(request.key, c.key);
  // At the moment of the request the markers still point at the previous cell.
  EXPECT_EQ(request.rowMarkerTop, 1170 - 200);
  EXPECT_EQ(request.columnMarkerLeft, 1320 + 100);
  EXPECT_EQ(w.model.imgRight().top(), c.rowMarkerTop);
  EXPECT_EQ(w.model.imgTop().left(), c.columnMarkerLeft);
}

INSTANTIATE_TEST_SUITE_P(
    KnownCells, ActivationCases,
    ::testing::Values(ClickCase{1, "101", 370, 6205}, ClickCase{101, "101", 3970, 6220},
                      ClickCase{48, "148", 370, 235}, ClickCase{148, "148", 3970, 250},
                      ClickCase{120, "120", 6370, 4435}, ClickCase{105, "105", 6355, 6220},
                      ClickCase{9, "109", 2170, 5620}, ClickCase{10, "110", 2755, 5620},
                      ClickCase{6, "106", 370, 5620}, ClickCase{36, "136", 370, 2035}));

TEST(Activation, RepeatingACellLeavesTheMarkersWhereTheyWere) {
  LoadedChart w;
  w.chart.Image1_Click(118);
  const float top = w.model.imgRight().top(), left = w.model.imgTop().left();
  w.chart.Image1_Click(118);
  EXPECT_EQ(w.model.imgRight().top(), top);
  EXPECT_EQ(w.model.imgTop().left(), left);
  EXPECT_EQ(w.sound.keys(), (std::vector<std::string>{"118", "118"}));
}

TEST(Activation, AnIndexWithNoCellStillAsksForSoundButMovesNothing) {
  const std::pair<std::int16_t, const char*> cases[] = {
      {0, "100"}, {49, "149"}, {100, "100"}, {149, "149"}, {-3, "1-3"}, {32767, "32767"}};
  for (const auto& [index, key] : cases) {
    LoadedChart w;
    w.chart.Image1_Click(index);
    EXPECT_EQ(w.sound.keys(), std::vector<std::string>{key}) << index;
    EXPECT_EQ(w.model.imgRight().top(), 370) << index;
    EXPECT_EQ(w.model.imgTop().left(), 6205) << index;
  }
}

TEST(PressFeedback, FramesOnlyThePressedCellUntilRelease) {
  for (const KanaCell& cell : allCells()) {
    SCOPED_TRACE("cell " + std::to_string(cell.index));
    LoadedChart w;
    for (std::int16_t button : {1, 2, 4}) {  // primary, secondary, middle
      w.chart.Image1_MouseDown(cell.index, button, 0, 3.f, 4.f);
      for (const KanaCell& other : allCells()) {
        EXPECT_EQ(w.model.image1(other.index)->borderStyle(),
                  other.index == cell.index ? kBorderSingle : kBorderNone);
      }
      w.chart.Image1_MouseUp(cell.index, button, 0, 3.f, 4.f);
      EXPECT_EQ(w.model.image1(cell.index)->borderStyle(), kBorderNone);
    }
    EXPECT_TRUE(w.sound.requests.empty()) << "press and release alone must not speak";
  }
}

TEST(HoverCursor, ShowsTheHandOverTheHoveredCellAndKeepsIt) {
  LoadedChart w;
  const Picture hand = w.model.imageList1(1);
  ASSERT_FALSE(hand.resource.empty());
  for (const KanaCell& cell : allCells()) {
    ASSERT_EQ(w.model.image1(cell.index)->mousePointer(), kPointerDefault);
    w.chart.Image1_MouseMove(cell.index, 0, 0, 1.f, 1.f);
    EXPECT_EQ(w.model.image1(cell.index)->mouseIcon(), hand);
    EXPECT_EQ(w.model.image1(cell.index)->mousePointer(), kPointerCustom);
  }
  // Only cells: the markers never get the hand.
  EXPECT_EQ(w.model.imgRight().mousePointer(), kPointerDefault);
  EXPECT_EQ(w.model.imgTop().mousePointer(), kPointerDefault);
}

TEST(PointerEvents, OnIndicesWithNoCellAreHarmless) {
  LoadedChart w;
  for (std::int16_t index : {0, 49, 100, 149, -1}) {
    w.chart.Image1_MouseDown(index, 1, 0, 0, 0);
    w.chart.Image1_MouseMove(index, 1, 0, 0, 0);
    w.chart.Image1_MouseUp(index, 1, 0, 0, 0);
  }
  for (const KanaCell& cell : allCells()) {
    EXPECT_EQ(w.model.image1(cell.index)->borderStyle(), kBorderNone);
    EXPECT_EQ(w.model.image1(cell.index)->mousePointer(), kPointerDefault);
  }
}

}  // namespace
}  // namespace tessel
