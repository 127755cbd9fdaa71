// The credit line and the About button: visibility, hover colour, cursor and the mail link.
#include "credits/credits.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace tessel {
namespace {

using testing::LoadedChart;

enum class Step { About, HoverLabel, HoverWindow };

// Hidden and shown any number of times; the colour changes only while the line is shown, except
// that the bare window resets it either way.
TEST(CreditLine, FollowsAboutAndThePointer) {
  constexpr Rgb kRed{128, 0, 0}, kBlue{0, 0, 255};
  const struct {
    Step step;
    bool visible;
    Rgb color;
  } sequence[] = {
      {Step::HoverLabel, true, kBlue}, {Step::About, false, kBlue},
      {Step::About, true, kBlue},      {Step::HoverWindow, true, kRed},
      {Step::About, false, kRed},      {Step::HoverWindow, false, kRed},
      {Step::About, true, kRed},       {Step::HoverLabel, true, kBlue},
      {Step::About, false, kBlue},     {Step::HoverWindow, false, kRed},
  };
  LoadedChart w;
  EXPECT_TRUE(w.model.label1().visible());
  EXPECT_EQ(w.model.label1().foreColor(), kRed);
  int n = 0;
  for (const auto& e : sequence) {
    // A hidden label gets no pointer events, as in the window.
    if (e.step == Step::HoverLabel && w.model.label1().visible()) w.credits.Label1_MouseMove();
    if (e.step == Step::HoverWindow) w.credits.Form_MouseMove();
    if (e.step == Step::About) w.credits.Command2_Click();
    EXPECT_EQ(w.model.label1().visible(), e.visible) << "step " << ++n;
    EXPECT_EQ(w.model.label1().foreColor(), e.color) << "step " << n;
  }
  // Once hovered, the hand stays as the label's pointer; only the colour is reset.
  EXPECT_EQ(w.model.label1().mouseIcon(), w.model.imageList1(1));
  EXPECT_EQ(w.model.label1().mousePointer(), kPointerCustom);
  EXPECT_TRUE(w.mail.urls.empty());
}

TEST(CreditLine, AClickHandsTheBareContactAddressToTheMailProgram) {
  LoadedChart w;
  w.credits.Label1_Click();
  EXPECT_EQ(w.mail.urls, std::vector<std::string>{"mailto:tessel@example.org"})
      << "padding after the address would corrupt the recipient";
  EXPECT_FALSE(w.model.ended());
}

}  // namespace
}  // namespace tessel
