#include "core/thumbnail_sizing.h"

#include <cfenv>
#include <cmath>

namespace velmora {

namespace {

// Quotients are formed in extended precision (long double is the 80-bit format on x86-64) and
// rounded half to even, the processor's default rounding.
std::int32_t roundQuotient(long double numerator, long double denominator) {
  return static_cast<std::int32_t>(std::nearbyintl(numerator / denominator));
}

// Integer products in 64 bits: the validated inputs never leave 32 bits, and unvalidated ones
// must not overflow.
long double product(std::int32_t a, std::int32_t b) {
  return static_cast<long double>(static_cast<std::int64_t>(a) * b);
}

bool shrinks(std::int32_t sourceWidth, std::int32_t sourceHeight, const SizingRequest& r) {
  return r.heightValue < sourceHeight && r.widthValue < sourceWidth;
}

PixelSize fitToLimit(std::int32_t sw, std::int32_t sh, const SizingRequest& r) {
  // Portrait pictures fit their height, landscape and square ones their width.
  const long double k = sw < sh ? static_cast<long double>(sh) / r.heightValue
                                : static_cast<long double>(sw) / r.widthValue;
  return {roundQuotient(sw, k), roundQuotient(sh, k)};
}

}  // namespace

std::optional<PixelSize> Decide(std::int32_t sw, std::int32_t sh, const SizingRequest& r) {
  if (!shrinks(sw, sh, r)) return std::nullopt;
  if (std::fegetround() != FE_TONEAREST) std::fesetround(FE_TONEAREST);
  switch (r.mode) {
    case SizingMode::Rate:
      return PixelSize{roundQuotient(product(sw, r.rate), 100), roundQuotient(product(sh, r.rate), 100)};
    case SizingMode::Height:
      return PixelSize{roundQuotient(product(sw, r.heightValue), sh), r.heightValue};
    case SizingMode::Width:
      return PixelSize{r.widthValue, roundQuotient(product(sh, r.widthValue), sw)};
    case SizingMode::HeightAndWidth:
      return PixelSize{r.widthValue, r.heightValue};
    case SizingMode::Fit:
      return fitToLimit(sw, sh, r);
  }
  return std::nullopt;
}

}  // namespace velmora
