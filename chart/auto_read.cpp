#include "chart/auto_read.h"

#include "chart/kana_cells.h"
#include "window/layout.h"

namespace tessel {

void AutoRead::Command3_Click() {
  chart_.ReadIndex = 1;
  ButtonControl& button = controls_.command3();
  if (button.caption() == kAutoReadOffCaption) {
    button.setCaption(std::u16string(kAutoReadOnCaption));
    controls_.timer1().setEnabled(true);
  } else {
    button.setCaption(std::u16string(kAutoReadOffCaption));
    controls_.timer1().setEnabled(false);
  }
}

void AutoRead::Timer1_Timer() {
  chart_.Image1_Click(chart_.ReadIndex);
  chart_.ReadIndex = static_cast<std::int16_t>(chart_.ReadIndex + 1);
  if (chart_.ReadIndex == kKanaPositions + 1) chart_.ReadIndex = 1;
}

}  // namespace tessel
