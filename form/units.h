// Twips, the layout's unit: 1440 to the inch, 15 to a logical pixel at 96 dots per inch.
#pragma once

#include <cmath>

namespace tessel {

inline constexpr int kTwipsPerPixel = 15;

// Twips to logical pixels, rounded to nearest.
inline int toPixels(float twips) {
  return static_cast<int>(std::lround(twips / static_cast<float>(kTwipsPerPixel)));
}

}  // namespace tessel
