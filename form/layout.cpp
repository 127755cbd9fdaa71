#include "form/layout.h"

#include <array>
#include <vector>

#include "form/kana_cells.h"

namespace tessel {
namespace {

// Cells 105 and 110 are created before the markers, the other 94 after them, in this order.
constexpr std::array<std::int16_t, 2> kEarlyCells{105, 110};
constexpr std::array<std::int16_t, 94> kLateCells{
    106, 109, 108, 107, 101, 148, 144, 139, 136, 131, 126, 121, 116, 111, 104, 103, 102, 147, 146,
    145, 143, 142, 141, 140, 138, 137, 135, 134, 133, 132, 130, 129, 128, 127, 125, 124, 123, 122,
    120, 119, 118, 117, 115, 114, 113, 112, 6,   10,  9,   8,   7,   1,   48,  44,  39,  36,  31,
    26,  21,  16,  11,  5,   4,   3,   2,   47,  46,  45,  43,  42,  41,  40,  38,  37,  35,  34,
    33,  32,  30,  29,  28,  27,  25,  24,  23,  22,  20,  19,  18,  17,  15,  14,  13,  12};

ControlSpec cellSpec(std::int16_t index) {
  const KanaCell* cell = findCell(index);
  return {.name = "Image1",
          .kind = ControlKind::Cell,
          .index = index,
          .left = cell->left,
          .top = cell->top,
          .width = kCellSize,
          .height = kCellSize};
}

std::vector<ControlSpec> buildLayout() {
  using K = ControlKind;
  std::vector<ControlSpec> layout{
      {.name = "Picture3",
       .kind = K::PictureBox,
       .left = 7943,
       .top = 5745,
       .width = 1215,
       .height = 405,
       .tabIndex = 5},
      {.name = "Command3",
       .kind = K::CommandButton,
       .width = 1155,
       .height = 345,
       .container = "Picture3",
       .caption = kAutoReadOffCaption,
       .tabIndex = 6},
      {.name = "Timer1", .kind = K::Timer},
      {.name = "ImageList1", .kind = K::ImageList, .picture = kHandCursorPicture},
      {.name = "Picture2",
       .kind = K::PictureBox,
       .left = 7943,
       .top = 6270,
       .width = 1215,
       .height = 405,
       .tabIndex = 2},
      {.name = "Command2",
       .kind = K::CommandButton,
       .width = 1155,
       .height = 345,
       .container = "Picture2",
       .caption = u"关    于",
       .tabIndex = 3},
      {.name = "Picture1",
       .kind = K::PictureBox,
       .left = 7943,
       .top = 6795,
       .width = 1215,
       .height = 405,
       .tabIndex = 0},
      {.name = "Command1",
       .kind = K::CommandButton,
       .width = 1155,
       .height = 345,
       .container = "Picture1",
       .caption = u"关闭窗口",
       .tabIndex = 1},
  };
  for (std::int16_t index : kEarlyCells) layout.push_back(cellSpec(index));
  layout.push_back({.name = "imgRight",
                    .kind = K::Image,
                    .left = static_cast<int>(kRowMarkerLeft),
                    .top = 975,
                    .width = 960,
                    .height = 1080,
                    .picture = ":/artwork/row_marker.svg"});
  layout.push_back({.name = "imgTop",
                    .kind = K::Image,
                    .left = 6225,
                    .top = static_cast<int>(kColumnMarkerTop),
                    .width = 405,
                    .height = 210,
                    .picture = ":/artwork/column_marker.svg"});
  for (std::int16_t index : kLateCells) layout.push_back(cellSpec(index));
  layout.push_back({.name = "Image50",
                    .kind = K::Image,
                    .left = 7815,
                    .top = 1080,
                    .width = 2490,
                    .height = 3210,
                    .picture = ":/artwork/decoration.svg"});
  layout.push_back({.name = "Label1",
                    .kind = K::Label,
                    .left = 8220,
                    .top = 5130,
                    .width = 975,
                    .height = 465,
                    .caption = u"Morlen制作联系作者  ",
                    .tabIndex = 4});
  return layout;
}

}  // namespace

std::span<const ControlSpec> windowLayout() {
  static const std::vector<ControlSpec> layout = buildLayout();
  return layout;
}

Picture imageListPicture(int n) {
  // The list holds one picture that is ever read: the hand cursor, as its row says.
  if (n != 1) return {};
  for (const ControlSpec& spec : windowLayout()) {
    if (spec.kind == ControlKind::ImageList) return {std::string(spec.picture)};
  }
  return {};
}

}  // namespace tessel
