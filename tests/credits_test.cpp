#include "credits/credits.h"

#include <gtest/gtest.h>

#include "form/layout.h"
#include "support/fakes.h"

namespace tessel {
namespace {

using testing::LoadedChart;

enum class Step { About, HoverLabel, HoverWindow };

struct Expect {
  Step step;
  bool visible;
  Rgb color;
};

// The credit line's life: hidden and shown any number of times; the colour changes only while it
// is shown, except that the bare window resets it either way.
TEST(CreditLine, FollowsAboutAndThePointer) {
  constexpr Rgb kRed = kLabelRestColor, kBlue = kLabelHoverColor;
  const Expect sequence[] = {
      {Step::HoverLabel, true, kBlue}, {Step::About, false, kBlue},
      {Step::About, true, kBlue},      {Step::HoverWindow, true, kRed},
      {Step::About, false, kRed},      {Step::HoverWindow, false, kRed},
      {Step::About, true, kRed},       {Step::HoverLabel, true, kBlue},
      {Step::About, false, kBlue},     {Step::HoverWindow, false, kRed},
      {Step::About, true, kRed},
  };
  LoadedChart w;
  EXPECT_TRUE(w.model.label1().visible());
  EXPECT_EQ(w.model.label1().foreColor(), kRed);
  EXPECT_EQ(w.model.label1().mousePointer(), kPointerDefault);
  int n = 0;
  for (const Expect& e : sequence) {
    SCOPED_TRACE("step " + std::to_string(++n));
    // A hidden label gets no pointer events, as in the window.
    if (e.step == Step::HoverLabel && w.model.label1().visible()) w.credits.Label1_MouseMove();
    if (e.step == Step::HoverWindow) w.credits.Form_MouseMove();
    if (e.step == Step::About) w.credits.Command2_Click();
    EXPECT_EQ(w.model.label1().visible(), e.visible);
    EXPECT_EQ(w.model.label1().foreColor(), e.color);
  }
  // Once hovered, the hand stays as the label's pointer; only the colour is reset.
  EXPECT_EQ(w.model.label1().mouseIcon(), w.model.imageList1(1));
  EXPECT_EQ(w.model.label1().mousePointer(), kPointerCustom);
}

TEST(CreditLine, AClickHandsTheBareContactAddressToTheMailProgram) {
  LoadedChart w;
  w.credits.Label1_Click();
  ASSERT_EQ(w.mail.urls.size(), 1u);
  EXPECT_EQ(w.mail.urls[0], "mailto:" + std::string(kContactAddress));
  EXPECT_EQ(w.mail.urls[0].find(' '), std::string::npos) << "padding would corrupt the recipient";
  EXPECT_FALSE(w.model.ended());
}

TEST(CloseButton, EndsTheProgramEvenDuringAutoRead) {
  LoadedChart w;
  w.autoRead.Command3_Click();
  w.intervalPasses();
  w.credits.Command1_Click();
  EXPECT_TRUE(w.model.ended());
}

TEST(AboutButton, ChangesNothingButVisibility) {
  LoadedChart w;
  w.credits.Label1_MouseMove();
  w.credits.Command2_Click();
  EXPECT_EQ(w.model.label1().foreColor(), kLabelHoverColor);
  EXPECT_EQ(w.model.label1().mousePointer(), kPointerCustom);
  EXPECT_TRUE(w.mail.urls.empty());
  EXPECT_FALSE(w.model.ended());
}

}  // namespace
}  // namespace tessel
