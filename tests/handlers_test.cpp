// The handlers against the in-memory window: activating a cell (its sound key, then both
// markers pointed at it), hover feedback, the auto-read sequencer (the button's caption is its
// state, each tick activates the next of the 48 hiragana positions through the ordinary click,
// every press starts again from あ), and the credit line's hover look. How presses, ticks, clicks
// and the pointer interleave in the real window is the event storm's to check
// (event_storm_test.cpp); the address the credit line hands to the desktop, the end-to-end mail
// test's.
#include <gtest/gtest.h>

#include "chart/auto_read.h"
#include "chart/cell_activation.h"
#include "credits/credits.h"
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
  EXPECT_TRUE(sound.keys.empty());
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
  ASSERT_EQ(w.sound.keys.size(), 2u);
  EXPECT_EQ(w.sound.keys[1], c.key);
  // The sound is asked for first: the markers still point at the previous cell.
  EXPECT_EQ(w.sound.markersAtRequest[1], std::make_pair(1170.f - 200, 1320.f + 100));
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
    EXPECT_EQ(w.sound.keys, std::vector<std::string>{key}) << index;
    EXPECT_EQ(w.model.imgRight().top(), 370) << index;
    EXPECT_EQ(w.model.imgTop().left(), 6205) << index;
  }
}

TEST(Activation, ALeftPressWarmsTheSoundAndPlaysNothing) {
  LoadedChart w;
  for (std::int16_t button : {2, 4, 1}) w.chart.Image1_MouseDown(6, button, 0, 0, 0);
  EXPECT_EQ(w.sound.warms, 1) << "only a left press becomes a click";
  EXPECT_TRUE(w.sound.keys.empty());
}

TEST(HoverCursor, ShowsTheHandOverEveryCellAndNowhereElse) {
  LoadedChart w;
  for (const KanaCell& cell : allCells()) {
    w.chart.Image1_MouseMove(cell.index, 0, 0, 1.f, 1.f);
    EXPECT_EQ(w.model.image1(cell.index)->mouseIcon, w.model.imageList1(1)) << cell.index;
    EXPECT_EQ(w.model.image1(cell.index)->mousePointer, kPointerCustom) << cell.index;
  }
  EXPECT_EQ(w.model.imgRight().mousePointer, kPointerDefault);
}

TEST(AutoRead, RecitesTheFortyEightHiraganaInChartOrderThenStartsAgain) {
  LoadedChart w;
  EXPECT_EQ(w.model.command3().caption(), kAutoReadOffCaption);
  EXPECT_FALSE(w.model.timer1().enabled);
  w.autoRead.Command3_Click();
  EXPECT_EQ(w.model.command3().caption(), kAutoReadOnCaption);
  EXPECT_TRUE(w.model.timer1().enabled);
  EXPECT_TRUE(w.sound.keys.empty()) << "the first kana comes one interval after the press";

  std::vector<std::string> expected;
  for (int position = 1; position <= kKanaPositions + 2; ++position) {
    const int p = (position - 1) % kKanaPositions + 1;
    expected.push_back((p < 10 ? "10" : "1") + std::to_string(p));
    w.intervalPasses();
    EXPECT_EQ(w.autoRead.readIndex(), p % kKanaPositions + 1);
  }
  EXPECT_EQ(w.sound.keys, expected);
  EXPECT_EQ(w.model.imgRight().top(), 1170 - 200) << "the markers follow the recital (on い)";
}

TEST(AutoRead, ARestartBeginsAgainAtTheFirstKanaAfterAFreshInterval) {
  LoadedChart w;
  w.autoRead.Command3_Click();
  for (int i = 0; i < 20; ++i) w.intervalPasses();
  w.autoRead.Command3_Click();  // stop on と
  w.intervalPasses();
  EXPECT_EQ(w.sound.keys.back(), "120") << "a stopped recital must not tick";
  w.autoRead.Command3_Click();
  EXPECT_EQ(w.model.timer1().starts, 2) << "restarting begins a fresh interval";
  w.intervalPasses();
  EXPECT_EQ(w.sound.keys.back(), "101");
}

TEST(AutoRead, OnlyTheExactOffCaptionStartsIt) {
  // The caption is the state, compared exactly: anything else counts as running.
  for (std::u16string caption : {u"自动朗读 ", u"自动", u"自動朗讀", u"随指随读", u""}) {
    LoadedChart w;
    w.model.command3().setCaption(caption);
    w.autoRead.Command3_Click();
    EXPECT_EQ(w.model.command3().caption(), kAutoReadOffCaption);
    EXPECT_FALSE(w.model.timer1().enabled);
  }
}

TEST(CreditLine, TurnsBlueWithTheHandAndOnlyItsColourIsResetByTheBareWindow) {
  LoadedChart w;
  EXPECT_EQ(w.model.label1().foreColor, (Rgb{128, 0, 0}));
  w.credits.Label1_MouseMove();
  EXPECT_EQ(w.model.label1().foreColor, (Rgb{0, 0, 255}));
  w.credits.Form_MouseMove();
  EXPECT_EQ(w.model.label1().foreColor, (Rgb{128, 0, 0}));
  EXPECT_EQ(w.model.label1().mouseIcon, w.model.imageList1(1));
  EXPECT_EQ(w.model.label1().mousePointer, kPointerCustom);
}

}  // namespace
}  // namespace tessel
