// Auto-read: once a second, activate the next hiragana cell exactly as a click would.
//
// Command3 starts and stops the recital; its caption names what pressing it will do next. Every
// press restarts from あ. Ticks activate cell ReadIndex through the same Image1_Click a user's
// click uses, then step ReadIndex on, wrapping from 48 back to 1. ReadIndex is the window's
// auto-read position and this class is the only one that writes it; it is 1 from the moment the
// window is loaded.
#pragma once

#include "chart/cell_activation.h"
#include "form/controls.h"

namespace tessel {

class AutoRead {
 public:
  AutoRead(Controls& controls, CellActivation& chart) : controls_(controls), chart_(chart) {}

  void Command3_Click();
  void Timer1_Timer();

  // The hiragana cell the next tick activates, 1..48.
  std::int16_t readIndex() const { return ReadIndex; }

 private:
  Controls& controls_;
  CellActivation& chart_;
  std::int16_t ReadIndex = 1;
};

}  // namespace tessel
