// Artwork is vector: each picture is rendered from its SVG at the device pixel ratio it is shown
// at, so it stays sharp at any display scaling while the layout keeps its logical size.
#pragma once

#include <QCursor>
#include <QPixmap>
#include <QString>

namespace tessel {

// The picture at `resource` rendered to `logicalSize` for a screen of ratio `dpr`; cached, so
// repainting costs a blit. A missing resource gives a transparent pixmap.
QPixmap svgPixmap(const QString& resource, QSize logicalSize, qreal dpr);

// A pointer showing the picture at `resource` (32 x 32 logical), its hot spot at the logical
// pixel `hotSpot`.
QCursor svgCursor(const QString& resource, QPoint hotSpot, qreal dpr);

}  // namespace tessel
