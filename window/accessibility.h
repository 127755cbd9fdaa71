// What assistive technology (a screen reader, over AT-SPI on Linux) is told about the window.
//
// Each of the 96 kana is a button named after its kana and reading ("か ka") whose press action is
// a click; as the focus moves through the chart, the focused cell is announced by that name.
#pragma once

namespace tessel {

// Makes the interfaces above the ones Qt hands out; needed once, harmless again.
void installAccessibleInterfaces();

}  // namespace tessel
