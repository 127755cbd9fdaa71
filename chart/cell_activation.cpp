#include "chart/cell_activation.h"

#include <cstdio>

namespace tessel {

std::string soundKey(std::int16_t index) {
  if (index >= 100) return std::to_string(index);
  // Two-digit pattern: pads 6 to "06" and leaves longer numbers as they are.
  char digits[16];
  std::snprintf(digits, sizeof digits, "%02d", static_cast<int>(index));
  return std::string("1") + digits;
}

void CellActivation::pointMarkersAt(const ImageControl& cell) {
  controls_.imgRight().move(kRowMarkerLeft, cell.top() - kRowMarkerRaise);
  controls_.imgTop().move(cell.left() + kColumnMarkerShift, kColumnMarkerTop);
}

void CellActivation::Form_Load() {
  if (const ImageControl* first = controls_.image1(1)) pointMarkersAt(*first);
}

void CellActivation::Image1_Click(const std::int16_t& Index) {
  // Sound first: the recording should start before anything is repainted.
  sound_.PlayWave(soundKey(Index));
  // Only cells are ever clicked; any other index leaves the markers where they are.
  if (const ImageControl* cell = controls_.image1(Index)) pointMarkersAt(*cell);
}

void CellActivation::Image1_MouseDown(std::int16_t Index, std::int16_t Button, std::int16_t, float,
                                      float) {
  // A person's click ends 50-150 ms after the press: time for a resting output to start, which
  // otherwise delays the first sound after a pause. Only the left button clicks.
  if (Button == 1) sound_.warm();
  if (ImageControl* cell = controls_.image1(Index)) cell->setBorderStyle(kBorderSingle);
}

void CellActivation::Image1_MouseUp(std::int16_t Index, std::int16_t, std::int16_t, float, float) {
  if (ImageControl* cell = controls_.image1(Index)) cell->setBorderStyle(kBorderNone);
}

void CellActivation::Image1_MouseMove(std::int16_t Index, std::int16_t, std::int16_t, float,
                                      float) {
  if (ImageControl* cell = controls_.image1(Index)) {
    cell->setMouseIcon(controls_.imageList1(1));
    cell->setMousePointer(kPointerCustom);
  }
}

}  // namespace tessel
