#include "chart/auto_read.h"

#include "form/kana_cells.h"
#include "form/layout.h"

namespace tessel {

void AutoRead::Command3_Click() {
  ReadIndex = 1;
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
  chart_.Image1_Click(ReadIndex);
  ReadIndex = static_cast<std::int16_t>(ReadIndex + 1);
  if (ReadIndex == kKanaPositions + 1) ReadIndex = 1;
}

}  // namespace tessel
