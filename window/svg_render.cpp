#include "window/svg_render.h"

#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <cmath>

namespace tessel {
namespace {

struct CrispRect {
  QRectF logical;
  QColor colour;
};

// The document split around its group of crispEdges rectangles: what is drawn before them, the
// rectangles themselves, and what is drawn after them (behind the same <svg> element).
struct CrispSplit {
  QByteArray before, after;
  std::vector<CrispRect> rects;
};

CrispSplit splitCrisp(const QByteArray& svg) {
  static const QRegularExpression group(
      QStringLiteral(R"(<g shape-rendering="crispEdges">(.*?)</g>)"),
      QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression rect(QStringLiteral(
      R"re(<rect x="([\d.]+)" y="([\d.]+)" width="([\d.]+)" height="([\d.]+)" fill="(#[0-9a-fA-F]{6})"/>)re"));
  static const QRegularExpression root(QStringLiteral(R"(^.*?<svg[^>]*>)"),
                                       QRegularExpression::DotMatchesEverythingOption);
  const QString text = QString::fromUtf8(svg);
  const QRegularExpressionMatch block = group.match(text);
  const QRegularExpressionMatch open = root.match(text);
  if (!block.hasMatch() || !open.hasMatch()) return {svg, {}, {}};
  CrispSplit split{text.left(block.capturedStart()).toUtf8() + "</svg>\n",
                   (open.captured() + text.mid(block.capturedEnd())).toUtf8(),
                   {}};
  for (auto rects = rect.globalMatch(block.captured(1)); rects.hasNext();) {
    const QRegularExpressionMatch m = rects.next();
    split.rects.push_back({QRectF(m.captured(1).toDouble(), m.captured(2).toDouble(),
                                  m.captured(3).toDouble(), m.captured(4).toDouble()),
                           QColor(m.captured(5))});
  }
  return split;
}

// The rectangle (in the document's own units, `scale` device pixels each) with its edges moved to
// the nearest device pixel boundaries. Each edge is rounded on its own, so rectangles that touched
// still touch, and none becomes narrower than one device pixel.
QRect onDevicePixels(const QRectF& r, QSizeF scale) {
  const auto edge = [](qreal v) { return static_cast<int>(std::lround(v)); };
  const int left = edge(r.left() * scale.width()), top = edge(r.top() * scale.height());
  const int right = std::max(left + 1, edge(r.right() * scale.width()));
  const int bottom = std::max(top + 1, edge(r.bottom() * scale.height()));
  return QRect(left, top, right - left, bottom - top);
}

// Draws `svg` over `image`, its view box stretched to `exact` device pixels; returns the device
// pixels per unit of the document.
QSizeF draw(const QByteArray& svg, QImage& image, const QSizeF& exact) {
  QSvgRenderer renderer(svg);
  if (!renderer.isValid()) return {};
  QPainter painter(&image);
  renderer.render(&painter, QRectF(QPointF(0, 0), exact));
  const QRectF box = renderer.viewBoxF();
  return {exact.width() / box.width(), exact.height() / box.height()};
}

}  // namespace

QImage renderSvg(const QByteArray& svg, QSize logicalSize, qreal dpr) {
  const QSizeF exact(logicalSize.width() * dpr, logicalSize.height() * dpr);
  QImage image(static_cast<int>(std::ceil(exact.width())),
               static_cast<int>(std::ceil(exact.height())), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  // Drawn at exactly dpr device pixels per logical one; the crisp rectangles are filled in
  // between, without anti-aliasing, so the grid stays solid at fractional ratios too.
  const CrispSplit split = splitCrisp(svg);
  const QSizeF scale = draw(split.before, image, exact);
  if (!split.rects.empty() && !scale.isEmpty()) {
    QPainter painter(&image);
    for (const CrispRect& r : split.rects)
      painter.fillRect(onDevicePixels(r.logical, scale), r.colour);
  }
  if (!split.after.isEmpty()) draw(split.after, image, exact);
  image.setDevicePixelRatio(dpr);
  return image;
}

}  // namespace tessel
