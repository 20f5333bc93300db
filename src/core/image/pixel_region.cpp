#include "core/image/pixel_region.h"

#include <algorithm>

namespace velmora {

namespace {

// round(a * b / c) for positive values, halves up.
std::int32_t scaledRounded(std::int64_t a, std::int64_t b, std::int64_t c) {
  return static_cast<std::int32_t>((2 * a * b + c) / (2 * c));
}

}  // namespace

PixelRegion centreCut(std::int32_t width, std::int32_t height, std::int32_t outputWidth,
                      std::int32_t outputHeight) {
  const std::int64_t wide = static_cast<std::int64_t>(width) * outputHeight;
  const std::int64_t tall = static_cast<std::int64_t>(height) * outputWidth;
  if (wide > tall) {
    const std::int32_t kept =
        std::clamp(scaledRounded(height, outputWidth, outputHeight), 1, width);
    return {(width - kept) / 2, 0, kept, height};
  }
  const std::int32_t kept = std::clamp(scaledRounded(width, outputHeight, outputWidth), 1, height);
  return {0, (height - kept) / 2, width, kept};
}

}  // namespace velmora
