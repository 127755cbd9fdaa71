#include "window/caption_layer.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <cmath>

#include "form/layout.h"
#include "window/caption_font.h"
#include "window/layout_qt.h"

namespace tessel {
namespace {

QColor qcolour(Rgb c) {
  return QColor(c.red, c.green, c.blue);
}

}  // namespace

QString CaptionLook::resource(const QStyle& style) const {
  const char* kinds[] = {"button", "pressed-button", "label"};
  return QStringLiteral("caption:%1:%2:%3:%4")
      .arg(style.name(), QLatin1String(kinds[static_cast<int>(kind)]), colour.name(QColor::HexArgb),
           text);
}

std::vector<CaptionLook> captionLooks(const QStyle& style) {
  std::vector<CaptionLook> looks;
  const QColor buttonText = style.standardPalette().color(QPalette::ButtonText);
  for (const ControlSpec& spec : windowLayout()) {
    const QSize size = pixelRect(spec).size();
    if (spec.kind == ControlKind::CommandButton) {
      std::vector<std::u16string_view> captions{spec.caption};
      if (spec.caption == kAutoReadOffCaption) captions.push_back(kAutoReadOnCaption);
      for (std::u16string_view caption : captions) {
        for (auto kind : {CaptionLook::Kind::Button, CaptionLook::Kind::PressedButton})
          looks.push_back({kind, qstr(caption), size, buttonText});
      }
    } else if (spec.kind == ControlKind::Label) {
      for (Rgb colour : {kLabelRestColor, kLabelHoverColor})
        looks.push_back({CaptionLook::Kind::Label, qstr(spec.caption), size, qcolour(colour)});
    }
  }
  return looks;
}

QImage drawCaptionLayer(const CaptionLook& look, const QStyle& style, qreal dpr) {
  QImage image(static_cast<int>(std::ceil(look.size.width() * dpr)),
               static_cast<int>(std::ceil(look.size.height() * dpr)),
               QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(dpr);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setFont(captionFont());
  const bool label = look.kind == CaptionLook::Kind::Label;
  const QPalette::ColorRole role = label ? QPalette::WindowText : QPalette::ButtonText;
  QPalette palette = style.standardPalette();
  palette.setColor(role, look.colour);
  const QRect whole(QPoint(0, 0), look.size);
  if (label) {
    // As a plain-text, word-wrapped QLabel without frame or margin draws its text.
    style.drawItemText(&painter, whole,
                       Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextForceLeftToRight,
                       palette, true, look.text, role);
  } else {
    // As QPushButton's paint hands its label to the style: inside the contents rectangle.
    QStyleOptionButton option;
    option.rect = whole;
    option.state = QStyle::State_Enabled;
    if (look.kind == CaptionLook::Kind::PressedButton) option.state |= QStyle::State_Sunken;
    option.palette = palette;
    option.fontMetrics = painter.fontMetrics();
    option.text = look.text;
    option.rect = style.subElementRect(QStyle::SE_PushButtonContents, &option, nullptr);
    style.drawControl(QStyle::CE_PushButtonLabel, &option, &painter, nullptr);
  }
  return image;
}

}  // namespace tessel
