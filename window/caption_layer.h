// The captions' text as a layer of pixels over its control. For the common screen ratios the build
// has drawn every caption already (tools/render_artwork.cpp), so the first frame draws no text:
// the font machinery (the desktop's font configuration, the font file, the shaper) is not started
// at all. Any other ratio, or a widget style other than the one the build drew with, has its
// layers drawn here on first use, with the same code and so the same pixels.
#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <vector>

class QStyle;

namespace tessel {

struct CaptionLook {
  enum class Kind : std::uint8_t { Button, PressedButton, Label };
  Kind kind;
  QString text;
  QSize size;  // the control's, logical pixels
  QColor colour;

  // The name the build gives this look's layers among the artwork's rasters.
  QString resource(const QStyle& style) const;
};

// Every look the window's captions can take with `style`: each button's captions, raised and
// pressed, in the style's button-text colour; the credit line in its resting and hover colours.
std::vector<CaptionLook> captionLooks(const QStyle& style);

// `look`'s text drawn as the style draws it on a push button or a word-wrapped label, on a
// transparent image of the control's size at `dpr`. Uses the caption font.
QImage drawCaptionLayer(const CaptionLook& look, const QStyle& style, qreal dpr);

}  // namespace tessel
