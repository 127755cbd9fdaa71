// Drawing an SVG picture into device pixels. The program does this only for screen ratios the
// build did not prepare; tools/render_artwork.cpp does it at build time for the common ones, with
// this same code, so both give the same pixels.
#pragma once

#include <QByteArray>
#include <QImage>

namespace tessel {

// `svg` drawn at `logicalSize` for a screen of ratio `dpr`, at exactly dpr device pixels per
// logical pixel (the image is rounded up to whole pixels). Rectangles in a group marked
// shape-rendering="crispEdges" have their edges moved to the nearest device pixel boundary, so a
// one-pixel grid line stays solid at 125 % and 150 % instead of smearing over two or three
// pixels. A document it cannot read, or a rectangle of such a group it cannot place, gives a
// null image: the build step that draws the artwork fails on it.
QImage renderSvg(const QByteArray& svg, QSize logicalSize, qreal dpr);

}  // namespace tessel
