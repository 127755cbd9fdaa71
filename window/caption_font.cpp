#include "window/caption_font.h"

#include <QFile>
#include <QFontDatabase>

namespace tessel {

QFont captionFont() {
  static const QStringList families = [] {
    QFile file(QStringLiteral(":/fonts/tessel-captions.ttf"));
    if (!file.open(QIODevice::ReadOnly)) return QStringList();
    return QFontDatabase::applicationFontFamilies(
        QFontDatabase::addApplicationFontFromData(file.readAll()));
  }();
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(kCaptionPixelSize);
  font.setWeight(QFont::Normal);
  font.setStyle(QFont::StyleNormal);
  font.setStretch(QFont::Unstretched);
  font.setLetterSpacing(QFont::PercentageSpacing, 100);
  font.setWordSpacing(0);
  font.setKerning(true);
  font.setCapitalization(QFont::MixedCase);
  font.setUnderline(false);
  // Desktop hinting and subpixel settings change advance widths and edge colours; another font
  // standing in for a glyph would change both shapes and widths.
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setStyleStrategy(QFont::StyleStrategy(QFont::NoFontMerging | QFont::NoSubpixelAntialias |
                                             QFont::PreferAntialias));
  return font;
}

}  // namespace tessel
