// What the program does with a kana: speak it and point the two markers at it.
//
// A click on a cell and every auto-read tick end in Image1_Click. The row marker (imgRight) stands
// right of the chart and moves up and down; the column marker (imgTop) stands above the chart and
// moves left and right. Press feedback frames the cell; hovering shows the hand cursor.
#pragma once

#include <cstdint>
#include <string>

#include "sound/sound_port.h"
#include "window/controls.h"

namespace tessel {

// The sound key of a cell: "1" and the chart position as two digits, the same for a hiragana cell
// and its katakana partner.
std::string soundKey(std::int16_t index);

inline constexpr float kRowMarkerLeft = 6945;   // twips: just right of the chart picture
inline constexpr float kColumnMarkerTop = 345;  // twips: just above the first row
inline constexpr float kRowMarkerRaise = 200;   // the marker's arrow sits 200 twips below its top
inline constexpr float kColumnMarkerShift = 100;

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

  // The auto-read position: the hiragana cell the next tick will activate, 1..48 once loaded.
  std::int16_t ReadIndex = 0;

 private:
  void pointMarkersAt(const ImageControl& cell);

  Controls& controls_;
  SoundPort& sound_;
};

}  // namespace tessel
