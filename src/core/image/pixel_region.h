#pragma once
// A rectangle of a picture's pixels, and the centre cut that fills a thumbnail of other
// proportions.

#include <cstdint>

namespace velmora {

struct PixelRegion {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// The largest region of a width x height picture with the proportions of outputWidth x
// outputHeight, cut from the middle of the side that is too long (its kept length rounded to
// the nearest pixel, at least 1). All sides are positive.
PixelRegion centreCut(std::int32_t width, std::int32_t height, std::int32_t outputWidth,
                      std::int32_t outputHeight);

}  // namespace velmora
