#include "window/svg_picture.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QPixmap>
#include <cmath>

#include "window/artwork_rasters.h"
#include "window/svg_render.h"

namespace tessel {
namespace {

int drawnHere = 0;

// The build's drawing of `resource`, if it made one for this size and ratio. The image reads the
// executable's own pages: nothing is decoded or copied.
QImage builtRaster(const QString& resource, QSize logicalSize, qreal dpr) {
  const QSize device(static_cast<int>(std::ceil(logicalSize.width() * dpr)),
                     static_cast<int>(std::ceil(logicalSize.height() * dpr)));
  const QByteArray name = resource.toUtf8();
  for (const ArtworkRaster& r : artworkRasters()) {
    if (r.dpr != dpr || QSize(r.width, r.height) != device || name != r.resource) continue;
    QImage image(r.pixels, r.width, r.height, qsizetype{r.width} * 4,
                 r.opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    return image;
  }
  return {};
}

// The build's drawing of `resource`, else `draw()`'s, made on first use and kept.
template <class Draw>
QImage builtOrDrawn(const QString& resource, QSize logicalSize, qreal dpr, Draw draw) {
  if (QImage built = builtRaster(resource, logicalSize, dpr); !built.isNull()) return built;
  static QHash<QString, QImage> drawn;
  const QString key = QStringLiteral("%1@%2x%3@%4")
                          .arg(resource)
                          .arg(logicalSize.width())
                          .arg(logicalSize.height())
                          .arg(dpr);
  if (auto it = drawn.constFind(key); it != drawn.constEnd()) return *it;
  ++drawnHere;
  return *drawn.insert(key, draw());
}

}  // namespace

QImage artworkImage(const QString& resource, QSize logicalSize, qreal dpr) {
  return builtOrDrawn(resource, logicalSize, dpr, [&] {
    QFile file(resource);
    const QByteArray svg = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    return renderSvg(svg, logicalSize, dpr);
  });
}

QImage captionImage(const CaptionLook& look, const QStyle& style, qreal dpr) {
  return builtOrDrawn(look.resource(style), look.size, dpr,
                      [&] { return drawCaptionLayer(look, style, dpr); });
}

int picturesDrawnAtRunTime() {
  return drawnHere;
}

QIcon artworkIcon(const QString& resource) {
  QIcon icon;
  for (const ArtworkRaster& r : artworkRasters()) {
    if (resource != QLatin1String(r.resource)) continue;
    icon.addPixmap(QPixmap::fromImage(
        QImage(r.pixels, r.width, r.height, qsizetype{r.width} * 4,
               r.opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied)));
  }
  return icon.isNull() ? QIcon(resource) : icon;
}

QCursor artworkCursor(const QString& resource, QPoint hotSpot, qreal dpr) {
  // Qt hands X11 a bitmap cursor's hot spot as it stands, counted in the pixmap's device pixels,
  // while Wayland scales it by the pixmap's ratio itself. For X11 name the device pixel under
  // the middle of the logical hot-spot pixel, which holds at fractional ratios too.
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    hotSpot = QPoint(static_cast<int>(std::floor((hotSpot.x() + 0.5) * dpr)),
                     static_cast<int>(std::floor((hotSpot.y() + 0.5) * dpr)));
  }
  return QCursor(QPixmap::fromImage(artworkImage(resource, QSize(32, 32), dpr)), hotSpot.x(),
                 hotSpot.y());
}

}  // namespace tessel
