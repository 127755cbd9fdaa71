#include "window/svg_render.h"

#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <cmath>
#include <optional>
#include <vector>

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

// A rectangle of the group, or nothing if one of its attributes is missing or not a number or
// colour: a rectangle the program cannot place is a fault of the artwork, not one to skip.
std::optional<CrispRect> crispRect(const QXmlStreamAttributes& a) {
  bool ok[4] = {};
  const QRectF r(a.value(QLatin1String("x")).toDouble(&ok[0]),
                 a.value(QLatin1String("y")).toDouble(&ok[1]),
                 a.value(QLatin1String("width")).toDouble(&ok[2]),
                 a.value(QLatin1String("height")).toDouble(&ok[3]));
  const QColor colour = QColor::fromString(a.value(QLatin1String("fill")));
  if (!ok[0] || !ok[1] || !ok[2] || !ok[3] || !colour.isValid()) return std::nullopt;
  return CrispRect{r, colour};
}

// Read with an XML parser, so that neither the order of attributes nor the layout of the file
// matters. Nothing for a document that is not well-formed or whose group holds anything but
// rectangles it can place.
std::optional<CrispSplit> splitCrisp(const QByteArray& svg) {
  CrispSplit split;
  QXmlStreamReader in(svg);
  QXmlStreamWriter before(&split.before), after(&split.after);
  QXmlStreamWriter* out = &before;
  int crispDepth = 0;  // inside the group: how deep
  while (!in.atEnd()) {
    in.readNext();
    if (crispDepth > 0) {
      if (in.isStartElement()) {
        const std::optional<CrispRect> rect =
            in.name() == u"rect" && crispDepth == 1 ? crispRect(in.attributes()) : std::nullopt;
        if (!rect) return std::nullopt;
        split.rects.push_back(*rect);
        ++crispDepth;
      } else if (in.isEndElement()) {
        --crispDepth;
      }
      continue;
    }
    if (in.isStartElement() && in.name() == u"g" &&
        in.attributes().value(QLatin1String("shape-rendering")) == u"crispEdges" &&
        out == &before) {
      crispDepth = 1;
      out = &after;
      continue;
    }
    out->writeCurrentToken(in);
    // The root element opens the later part too, so that both parts are whole documents.
    if (in.isStartElement() && in.name() == u"svg" && out == &before) after.writeCurrentToken(in);
    if (in.isEndElement() && in.name() == u"svg" && out == &after) before.writeCurrentToken(in);
  }
  if (in.hasError() || crispDepth != 0) return std::nullopt;
  if (out == &before) split.after.clear();  // no group: all of it is drawn as it is
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
  const std::optional<CrispSplit> split = splitCrisp(svg);
  if (!split) return {};
  const QSizeF scale = draw(split->before, image, exact);
  if (scale.isEmpty()) return {};
  if (!split->rects.empty()) {
    QPainter painter(&image);
    for (const CrispRect& r : split->rects)
      painter.fillRect(onDevicePixels(r.logical, scale), r.colour);
  }
  if (!split->after.isEmpty() && draw(split->after, image, exact).isEmpty()) return {};
  image.setDevicePixelRatio(dpr);
  return image;
}

}  // namespace tessel
