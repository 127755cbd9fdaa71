// The credit line's hover look. How it follows About and the pointer through the real window,
// event after event, is the event storm's to check (event_storm_test.cpp); the address it hands
// to the desktop, the end-to-end mail test's.
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

}  // namespace
}  // namespace tessel
