// The auto-read sequencer: the button's caption is its state, each tick activates the next of the
// 48 hiragana positions through the ordinary click, and every press starts again from あ. How
// presses, ticks and clicks interleave in the real window is the event storm's to check.
#include "chart/auto_read.h"

#include <gtest/gtest.h>

#include "form/kana_cells.h"
#include "support/fakes.h"

namespace tessel {
namespace {

using testing::LoadedChart;

TEST(AutoRead, RecitesTheFortyEightHiraganaInChartOrderThenStartsAgain) {
  LoadedChart w;
  EXPECT_EQ(w.model.command3().caption(), kAutoReadOffCaption);
  EXPECT_FALSE(w.model.timer1().enabled());
  w.autoRead.Command3_Click();
  EXPECT_EQ(w.model.command3().caption(), kAutoReadOnCaption);
  EXPECT_TRUE(w.model.timer1().enabled());
  EXPECT_TRUE(w.sound.requests.empty()) << "the first kana comes one interval after the press";

  std::vector<std::string> expected;
  for (int position = 1; position <= kKanaPositions + 2; ++position) {
    const int p = (position - 1) % kKanaPositions + 1;
    expected.push_back((p < 10 ? "10" : "1") + std::to_string(p));
    w.intervalPasses();
    EXPECT_EQ(w.autoRead.readIndex(), p % kKanaPositions + 1);
  }
  EXPECT_EQ(w.sound.keys(), expected);
  EXPECT_EQ(w.model.imgRight().top(), 1170 - 200) << "the markers follow the recital (on い)";
}

TEST(AutoRead, ARestartBeginsAgainAtTheFirstKanaAfterAFreshInterval) {
  LoadedChart w;
  w.autoRead.Command3_Click();
  for (int i = 0; i < 20; ++i) w.intervalPasses();
  w.autoRead.Command3_Click();  // stop on と
  w.intervalPasses();
  EXPECT_EQ(w.sound.keys().back(), "120") << "a stopped recital must not tick";
  w.autoRead.Command3_Click();
  EXPECT_EQ(w.model.timer1().starts(), 2) << "restarting begins a fresh interval";
  w.intervalPasses();
  EXPECT_EQ(w.sound.keys().back(), "101");
}

TEST(AutoRead, OnlyTheExactOffCaptionStartsIt) {
  // The caption is the state, compared exactly: anything else counts as running.
  for (std::u16string caption : {u"自动朗读 ", u"自动", u"自動朗讀", u"随指随读", u""}) {
    LoadedChart w;
    w.model.command3().setCaption(caption);
    w.autoRead.Command3_Click();
    EXPECT_EQ(w.model.command3().caption(), kAutoReadOffCaption);
    EXPECT_FALSE(w.model.timer1().enabled());
  }
}

}  // namespace
}  // namespace tessel
