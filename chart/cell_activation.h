// What the program does with a kana: speak it and point the two markers at it.
//
// A click on a cell and every auto-read tick end in Image1_Click. The row marker (imgRight) stands
// right of the chart and moves up and down; the column marker (imgTop) stands above the chart and
// moves left and right. Press feedback frames the cell; hovering shows the hand cursor.
#pragma once

#include <cstdint>
#include <string>

#include "chart/sound_port.h"
#include "form/controls.h"
#include "form/layout.h"

namespace tessel {

// The sound key of a cell: "1" and the chart position as two digits, the same for a hiragana cell
// and its katakana partner.
std::string soundKey(std::int16_t index);

class CellActivation {
 public:
  CellActivation(Controls& controls, SoundPort& sound) : controls_(controls), sound_(sound) {}

  void Form_Load();
  void Image1_Click(const std::int16_t& Index);
  void Image1_MouseDown(std::int16_t Index, std::int16_t Button, std::int16_t Shift, float X,
                        float Y);
  void Image1_MouseUp(std::int16_t Index, std::int16_t Button, std::int16_t Shift, float X,
                      float Y);
  void Image1_MouseMove(std::int16_t Index, std::int16_t Button, std::int16_t Shift, float X,
                        float Y);

 private:
  void pointMarkersAt(const ImageControl& cell);

  Controls& controls_;
  SoundPort& sound_;
};

}  // namespace tessel
