#include "window/svg_picture.h"

#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>

namespace tessel {

QPixmap svgPixmap(const QString& resource, QSize logicalSize, qreal dpr) {
  static QHash<QString, QPixmap> cache;
  const QString key = QStringLiteral("%1@%2x%3@%4")
                          .arg(resource)
                          .arg(logicalSize.width())
                          .arg(logicalSize.height())
                          .arg(dpr);
  if (auto it = cache.constFind(key); it != cache.constEnd()) return *it;

  const QSize device(static_cast<int>(std::ceil(logicalSize.width() * dpr)),
                     static_cast<int>(std::ceil(logicalSize.height() * dpr)));
  QPixmap pixmap(device);
  pixmap.fill(Qt::transparent);
  QSvgRenderer renderer(resource);
  if (renderer.isValid()) {
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(device)));
  }
  pixmap.setDevicePixelRatio(dpr);
  cache.insert(key, pixmap);
  return pixmap;
}

QCursor svgCursor(const QString& resource, QPoint hotSpot, qreal dpr) {
  // Qt hands X11 a bitmap cursor's hot spot as it stands, counted in the pixmap's device pixels,
  // while Wayland scales it by the pixmap's ratio itself. For X11 name the device pixel under
  // the middle of the logical hot-spot pixel, which holds at fractional ratios too.
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    hotSpot = QPoint(static_cast<int>(std::floor((hotSpot.x() + 0.5) * dpr)),
                     static_cast<int>(std::floor((hotSpot.y() + 0.5) * dpr)));
  }
  return QCursor(svgPixmap(resource, QSize(32, 32), dpr), hotSpot.x(), hotSpot.y());
}

}  // namespace tessel
