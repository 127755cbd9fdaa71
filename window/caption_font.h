// The captions' font is built into the executable: a subset of a CJK sans face holding exactly the
// characters of the captions (tools/make_font.py). Drawn at a fixed pixel size with no hinting
// and no fallback, the buttons and the credit line look and wrap the same whatever font, size,
// DPI, hinting or locale the desktop has, and no system CJK font is needed.
#pragma once

#include <QFont>

namespace tessel {

// Logical pixels; the credit line's 65-pixel width breaks it as "Morlen制作" / "联系作者" at this
// size with room to spare either side.
inline constexpr int kCaptionPixelSize = 12;

// The caption font; the first call registers it with the application's font database.
QFont captionFont();

}  // namespace tessel
