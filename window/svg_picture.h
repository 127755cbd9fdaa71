// The window's pictures are vector drawings shown at the device pixel ratio of their screen, so
// they stay sharp at any display scaling while the layout keeps its logical size. For the common
// ratios the build has drawn them already; any other ratio is drawn from the SVG on first use.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QString>

#include "window/caption_layer.h"

namespace tessel {

// The picture at `resource` for `logicalSize` on a screen of ratio `dpr`. Repeated calls cost a
// lookup. A missing resource gives a transparent image.
QImage artworkImage(const QString& resource, QSize logicalSize, qreal dpr);

// A caption's text layer (caption_layer.h): the build's drawing, else one drawn on first use.
QImage captionImage(const CaptionLook& look, const QStyle& style, qreal dpr);

// How many pictures and captions were drawn here because the build had drawn none for their
// look and ratio. At the ratios the build draws, in the style it draws for, none should be.
int picturesDrawnAtRunTime();

// The window icon drawn from `resource`: in the sizes the build drew, or from the SVG if it drew
// none.
QIcon artworkIcon(const QString& resource);

// A pointer showing the picture at `resource` (32 x 32 logical), its hot spot at the logical
// pixel `hotSpot`.
QCursor artworkCursor(const QString& resource, QPoint hotSpot, qreal dpr);

}  // namespace tessel
