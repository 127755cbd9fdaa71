// Activating a cell: its sound key, then both markers pointed at it; press and hover feedback.
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
  ASSERT_NE(model.imgRight().top(), 370) << "the stored layout must differ, or this proves nothing";
  chart.Form_Load();
  EXPECT_EQ(model.imgRight().left(), 6945);
  EXPECT_EQ(model.imgRight().top(), 370);
  EXPECT_EQ(model.imgTop().left(), 6205);
  EXPECT_EQ(model.imgTop().top(), 345);
  EXPECT_TRUE(sound.requests.empty());
}

struct ClickCase {
  std::int16_t index;
  const char* key;
  float rowMarkerTop, columnMarkerLeft;
};

class Activation : public ::testing::TestWithParam<ClickCase> {};

TEST_P(Activation, RequestsTheKeyThenPointsBothMarkersAtTheCell) {
  const ClickCase& c = GetParam();
  LoadedChart w;
  w.chart.Image1_Click(40);  // somewhere else first, so every move below is visible
  w.chart.Image1_Click(c.index);
  ASSERT_EQ(w.sound.requests.size(), 2u);
  const auto& request = w.sound.requests[1];
  EXPECT_EQ(request.key, c.key);
  // The sound is asked for first: the markers still point at the previous cell.
  EXPECT_EQ(request.rowMarkerTop, 1170 - 200);
  EXPECT_EQ(request.columnMarkerLeft, 1320 + 100);
  EXPECT_EQ(w.model.imgRight().left(), 6945);
  EXPECT_EQ(w.model.imgRight().top(), c.rowMarkerTop);
  EXPECT_EQ(w.model.imgTop().left(), c.columnMarkerLeft);
  EXPECT_EQ(w.model.imgTop().top(), 345);
}

INSTANTIATE_TEST_SUITE_P(
    KnownCells, Activation,
    ::testing::Values(ClickCase{1, "101", 370, 6205}, ClickCase{101, "101", 3970, 6220},
                      ClickCase{48, "148", 370, 235}, ClickCase{148, "148", 3970, 250},
                      ClickCase{118, "118", 5185, 4450}, ClickCase{120, "120", 6370, 4435},
                      ClickCase{105, "105", 6355, 6220}, ClickCase{9, "109", 2170, 5620},
                      ClickCase{110, "110", 6355, 5635}, ClickCase{37, "137", 1570, 2035},
                      ClickCase{146, "146", 5770, 835}));

TEST(Activation, AnIndexWithNoCellAsksForItsKeyAndMovesNothing) {
  const std::pair<std::int16_t, const char*> cases[] = {
      {0, "100"}, {49, "149"}, {100, "100"}, {149, "149"}, {-3, "1-3"}, {32767, "32767"}};
  for (const auto& [index, key] : cases) {
    LoadedChart w;
    w.chart.Image1_Click(index);
    w.chart.Image1_MouseDown(index, 1, 0, 0, 0);
    w.chart.Image1_MouseMove(index, 1, 0, 0, 0);
    EXPECT_EQ(w.sound.keys(), std::vector<std::string>{key}) << index;
    EXPECT_EQ(w.model.imgRight().top(), 370) << index;
    EXPECT_EQ(w.model.imgTop().left(), 6205) << index;
  }
}

TEST(HoverCursor, ShowsTheHandOverEveryCellAndNowhereElse) {
  LoadedChart w;
  for (const KanaCell& cell : allCells()) {
    w.chart.Image1_MouseMove(cell.index, 0, 0, 1.f, 1.f);
    EXPECT_EQ(w.model.image1(cell.index)->mouseIcon(), w.model.imageList1(1)) << cell.index;
    EXPECT_EQ(w.model.image1(cell.index)->mousePointer(), kPointerCustom) << cell.index;
  }
  EXPECT_FALSE(w.model.imageList1(1).resource.empty());
  EXPECT_EQ(w.model.imgRight().mousePointer(), kPointerDefault);
}

}  // namespace
}  // namespace tessel
