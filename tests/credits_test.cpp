// The credit line's link behaviour. How it follows About and the pointer through the real window,
// event after event, is the event storm's to check (event_storm_test.cpp).
#include "credits/credits.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace tessel {
namespace {

using testing::LoadedChart;

TEST(CreditLine, TurnsBlueWithTheHandAndOnlyItsColourIsResetByTheBareWindow) {
  LoadedChart w;
  EXPECT_EQ(w.model.label1().foreColor(), (Rgb{128, 0, 0}));
  w.credits.Label1_MouseMove();
  EXPECT_EQ(w.model.label1().foreColor(), (Rgb{0, 0, 255}));
  w.credits.Form_MouseMove();
  EXPECT_EQ(w.model.label1().foreColor(), (Rgb{128, 0, 0}));
  EXPECT_EQ(w.model.label1().mouseIcon(), w.model.imageList1(1));
  EXPECT_EQ(w.model.label1().mousePointer(), kPointerCustom);
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
