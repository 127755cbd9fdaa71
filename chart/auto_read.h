// Auto-read: once a second, activate the next hiragana cell exactly as a click would.
//
// Command3 starts and stops the recital; its caption names what pressing it will do next. Every
// press restarts from あ. Ticks activate cell ReadIndex through the same Image1_Click a user's
// click uses, then step ReadIndex on, wrapping from 48 back to 1.
#pragma once

#include "chart/cell_activation.h"
#include "window/controls.h"

namespace tessel {

class AutoRead {
 public:
  AutoRead(Controls& controls, CellActivation& chart) : controls_(controls), chart_(chart) {}

  void Command3_Click();
  void Timer1_Timer();

 private:
  Controls& controls_;
  CellActivation& chart_;
};

}  // namespace tessel
