// The fixed layout of the main window: every control, in creation order (later ones stack on top).
// Positions are twips relative to the client area, or to the inside of the named container.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "form/controls.h"
#include "form/units.h"

namespace tessel {

enum class ControlKind : std::uint8_t {
  PictureBox,
  CommandButton,
  Timer,
  ImageList,
  Cell,
  Image,
  Label
};

struct ControlSpec {
  std::string_view name;  // "Command3", "Image1", "imgRight", …
  ControlKind kind;
  std::int16_t index = 0;  // cells only
  int left = 0, top = 0, width = 0, height = 0;
  std::string_view container = {};  // empty: the window itself
  std::u16string_view caption = {};
  int tabIndex = -1;              // focus order among the controls that take focus; -1: none
  std::string_view picture = {};  // Qt resource path of the artwork
};

inline constexpr int kClientWidth = 9480;  // twips: 632 x 490 logical pixels
inline constexpr int kClientHeight = 7350;
// The chart picture, in logical pixels: two rows taller than the client area, so cut off below.
inline constexpr int kChartWidth = 462;
inline constexpr int kChartHeight = 492;

// Where the markers stand once they point at a cell, in twips: the row marker just right of the
// chart with its arrow 200 twips below its top, the column marker just above the first row.
inline constexpr float kRowMarkerLeft = 6945;
inline constexpr float kColumnMarkerTop = 345;
inline constexpr float kRowMarkerRaise = 200;
inline constexpr float kColumnMarkerShift = 100;
inline constexpr int kTimerInterval = 1000;  // ms
inline constexpr Rgb kLabelRestColor{128, 0, 0};
inline constexpr Rgb kLabelHoverColor{0, 0, 255};

inline constexpr std::u16string_view kWindowCaption = u"Morlen日语五十音";
inline constexpr std::u16string_view kAutoReadOffCaption = u"自动朗读";
inline constexpr std::u16string_view kAutoReadOnCaption = u"随指随读";
inline constexpr std::string_view kChartPicture = ":/artwork/chart.svg";
inline constexpr std::string_view kHandCursorPicture = ":/artwork/hand_cursor.svg";
inline constexpr std::string_view kIconPicture = ":/artwork/icon.svg";

// All controls of the window in creation order.
std::span<const ControlSpec> windowLayout();

// Picture number `n` (from 1) of the image list; only number 1, the hand cursor, is used.
Picture imageListPicture(int n);

}  // namespace tessel
