// What assistive technology (a screen reader, over AT-SPI on Linux) is told about the window.
//
// The window is a frame named with its caption. Its children come in reading order: the panel
// in its Tab order, then the 96 kana in chart order, each a button named after its kana and
// reading ("か ka") whose press action is a click; as the focus moves through the chart, the
// focused cell is announced by that name. The markers and the decoration are left out: they only
// show what the focus already says. The credit line is a link whose press action is a click on it.
#pragma once

namespace tessel {

// Makes the interfaces above the ones Qt hands out; needed once, harmless again.
void installAccessibleInterfaces();

}  // namespace tessel
