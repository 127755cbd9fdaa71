// The layout table (form/layout.h) in Qt's terms, for the window and for the build step that
// draws its captions, so both agree on every text and size.
#pragma once

#include <QRect>
#include <QString>
#include <string_view>

#include "form/layout.h"

namespace tessel {

inline QString qstr(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
inline QString qstr(std::u16string_view s) {
  return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

// Where a control stands, in logical pixels of its container.
inline QRect pixelRect(const ControlSpec& spec) {
  return QRect(toPixels(static_cast<float>(spec.left)), toPixels(static_cast<float>(spec.top)),
               toPixels(static_cast<float>(spec.width)), toPixels(static_cast<float>(spec.height)));
}

}  // namespace tessel
