// The window's pictures as the build already drew them (tools/render_artwork.cpp), for the screen
// ratios most desktops use. Start-up then reads pixels straight out of the executable instead of
// parsing half a megabyte of SVG and drawing it.
#pragma once

#include <span>

namespace tessel {

struct ArtworkRaster {
  const char* resource;  // the SVG it was drawn from, e.g. ":/artwork/chart.svg"
  double dpr;
  int width, height;  // device pixels, rows packed, 4 bytes a pixel
  bool opaque;        // every pixel fully opaque: the pixels are RGB32, else premultiplied ARGB32
  const unsigned char* pixels;
};

std::span<const ArtworkRaster> artworkRasters();

}  // namespace tessel
