#include "chart/auto_read.h"

#include <gtest/gtest.h>

#include "form/kana_cells.h"
#include "form/layout.h"
#include "support/fakes.h"

namespace tessel {
namespace {

using testing::LoadedChart;

std::string key(int position) {
  return "1" + std::string(position < 10 ? "0" : "") + std::to_string(position);
}

TEST(AutoRead, IsOffWhenTheWindowOpens) {
  LoadedChart w;
  EXPECT_EQ(w.model.command3().caption(), kAutoReadOffCaption);
  EXPECT_FALSE(w.model.timer1().enabled());
  EXPECT_EQ(w.autoRead.readIndex(), 1);
}

TEST(AutoRead, RecitesTheFortyEightHiraganaInChartOrderThenWraps) {
  LoadedChart w;
  w.autoRead.Command3_Click();
  EXPECT_EQ(w.model.command3().caption(), kAutoReadOnCaption);
  EXPECT_TRUE(w.model.timer1().enabled());
  EXPECT_TRUE(w.sound.requests.empty()) << "the first kana comes one interval after the press";

  for (int position = 1; position <= kKanaPositions; ++position) {
    w.intervalPasses();
    ASSERT_EQ(w.sound.keys().back(), key(position));
    const KanaCell& cell = *findCell(static_cast<std::int16_t>(position));
    EXPECT_EQ(w.model.imgRight().top(), cell.top - kRowMarkerRaise) << position;
    EXPECT_EQ(w.model.imgTop().left(), cell.left + kColumnMarkerShift) << position;
    EXPECT_EQ(w.autoRead.readIndex(), position == kKanaPositions ? 1 : position + 1);
  }
  w.intervalPasses();
  EXPECT_EQ(w.sound.keys().back(), "101") << "tick 49 starts again at あ";
  EXPECT_EQ(w.sound.requests.size(), 49u);
}

TEST(AutoRead, TwoPressesWithinAnIntervalReadNothingAndResetThePosition) {
  LoadedChart w;
  w.autoRead.Command3_Click();
  w.autoRead.Command3_Click();
  w.intervalPasses();
  EXPECT_TRUE(w.sound.requests.empty());
  EXPECT_EQ(w.model.command3().caption(), kAutoReadOffCaption);
  EXPECT_FALSE(w.model.timer1().enabled());
  EXPECT_EQ(w.autoRead.readIndex(), 1);
}

TEST(AutoRead, ARestartBeginsAgainAtTheFirstKana) {
  LoadedChart w;
  w.autoRead.Command3_Click();
  while (w.sound.requests.empty() || w.sound.keys().back() != "120") w.intervalPasses();
  w.autoRead.Command3_Click();  // stop: the markers stay on と
  EXPECT_EQ(w.model.imgTop().left(), 4335 + 100);
  w.intervalPasses();
  EXPECT_EQ(w.sound.keys().back(), "120") << "a stopped recital must not tick";
  w.autoRead.Command3_Click();
  EXPECT_EQ(w.model.timer1().starts(), 2) << "restarting begins a fresh interval";
  w.intervalPasses();
  EXPECT_EQ(w.sound.keys().back(), "101");
}

TEST(AutoRead, AClickBetweenTicksDoesNotChangeWhatComesNext) {
  LoadedChart w;
  w.autoRead.Command3_Click();
  for (int i = 0; i < 5; ++i) w.intervalPasses();
  w.chart.Image1_Click(130);
  EXPECT_EQ(w.sound.keys().back(), "130");
  EXPECT_EQ(w.autoRead.readIndex(), 6);
  w.intervalPasses();
  EXPECT_EQ(w.sound.keys().back(), "106");
  EXPECT_EQ(w.model.imgRight().top(), 570 - 200) << "the markers return to the hiragana";
}

TEST(AutoRead, OnlyTheExactOffCaptionStartsIt) {
  // The caption is the state: anything but the exact off caption counts as running.
  for (std::u16string caption : {u"自动朗读 ", u"自动", u"随指随读", u""}) {
    LoadedChart w;
    w.model.command3().setCaption(caption);
    w.autoRead.Command3_Click();
    EXPECT_EQ(w.model.command3().caption(), kAutoReadOffCaption);
    EXPECT_FALSE(w.model.timer1().enabled());
  }
}

}  // namespace
}  // namespace tessel
