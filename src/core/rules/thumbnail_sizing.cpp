#include "core/rules/thumbnail_sizing.h"

#include <stdexcept>
#include <string>

namespace velmora {

namespace {

// A number of the processor's 80-bit extended format: mantissa * 2^exponent, with the
// mantissa's top bit set (64 significant bits).
struct Extended {
  std::uint64_t mantissa;
  int exponent;
};

constexpr std::uint64_t kTopBit = std::uint64_t{1} << 63;

// a / m rounded to 64 significant bits, ties to even: the extended-precision division of the
// sizing rules, computed with integers so that it neither reads nor changes the thread's
// floating-point rounding mode. Both operands are positive.
Extended extendedQuotient(std::uint64_t a, std::uint64_t m) {
  std::uint64_t q = a / m;
  unsigned __int128 remainder = a % m;
  int exponent = 0;
  while (q < kTopBit) {
    remainder <<= 1;
    q <<= 1;
    --exponent;
    if (remainder >= m) {
      q |= 1;
      remainder -= m;
    }
  }
  const unsigned __int128 twice = remainder * 2;
  if (twice > m || (twice == m && (q & 1) != 0)) {
    ++q;
    if (q == 0) {
      q = kTopBit;
      ++exponent;
    }
  }
  return {q, exponent};
}

// The nearest integer to an extended number, an exact half going to the even neighbour. The
// sizes the validated inputs give stay far inside 32 bits.
std::int32_t roundHalfToEven(Extended x) {
  if (x.exponent >= 0) return static_cast<std::int32_t>(x.mantissa << x.exponent);
  const int shift = -x.exponent;
  if (shift > 64) return 0;  // below a half
  const std::uint64_t whole = shift == 64 ? 0 : x.mantissa >> shift;
  const std::uint64_t fraction =
      shift == 64 ? x.mantissa : x.mantissa & ((std::uint64_t{1} << shift) - 1);
  const std::uint64_t half = std::uint64_t{1} << (shift - 1);
  const bool up = fraction > half || (fraction == half && (whole & 1) != 0);
  return static_cast<std::int32_t>(whole + (up ? 1 : 0));
}

std::int32_t roundQuotient(std::int64_t numerator, std::int64_t denominator) {
  if (numerator == 0) return 0;
  return roundHalfToEven(extendedQuotient(static_cast<std::uint64_t>(numerator),
                                          static_cast<std::uint64_t>(denominator)));
}

// A picture already inside the box is not made smaller by Within; Fill needs the whole box
// inside the picture.
bool shrinks(std::int32_t sourceWidth, std::int32_t sourceHeight, const SizingRequest& r) {
  if (r.mode == SizingMode::Within) {
    return r.heightValue < sourceHeight || r.widthValue < sourceWidth;
  }
  if (r.mode == SizingMode::Fill) {
    return r.heightValue <= sourceHeight && r.widthValue <= sourceWidth;
  }
  return r.heightValue < sourceHeight && r.widthValue < sourceWidth;
}

// The side that meets the box decides; the other follows the aspect ratio and stays inside.
PixelSize withinBox(std::int64_t width, std::int64_t height, const SizingRequest& r) {
  if (r.widthValue * height <= r.heightValue * width) {
    return {r.widthValue, roundQuotient(height * r.widthValue, width)};
  }
  return {roundQuotient(width * r.heightValue, height), r.heightValue};
}

// Portrait pictures fit their height, landscape and square ones their width, by one factor K
// held in extended precision: each side is round(side / K).
PixelSize fitToLimit(std::int32_t sw, std::int32_t sh, const SizingRequest& r) {
  const Extended k = sw < sh ? extendedQuotient(static_cast<std::uint64_t>(sh),
                                                static_cast<std::uint64_t>(r.heightValue))
                             : extendedQuotient(static_cast<std::uint64_t>(sw),
                                                static_cast<std::uint64_t>(r.widthValue));
  const auto side = [&k](std::int32_t length) {
    if (length == 0) return 0;
    Extended q = extendedQuotient(static_cast<std::uint64_t>(length), k.mantissa);
    q.exponent -= k.exponent;
    return roundHalfToEven(q);
  };
  return {side(sw), side(sh)};
}

[[noreturn]] void refuse(const std::string& what) {
  throw std::invalid_argument("sizing request out of range: " + what);
}

void checkValue(const char* name, std::int32_t value, std::int32_t low, std::int32_t high) {
  if (value < low || value > high) {
    refuse(std::string(name) + " " + std::to_string(value) + " (allowed " + std::to_string(low) +
           " to " + std::to_string(high) + ")");
  }
}

// The engine's boundary: the sizes a JPEG header can give, and the values the caller allows,
// with 0 for the values the mode does not use (the shrink test reads them all).
void checkRequest(std::int32_t sw, std::int32_t sh, const SizingRequest& r) {
  checkValue("source width", sw, 0, kLargestSourceSide);
  checkValue("source height", sh, 0, kLargestSourceSide);
  checkValue("pixel limit", r.pixelLimit, 1, kLargestSourceSide);
  const bool usesRate = r.mode == SizingMode::Rate;
  const bool usesBox = r.mode == SizingMode::HeightAndWidth || r.mode == SizingMode::Fit ||
                       r.mode == SizingMode::Within || r.mode == SizingMode::Fill;
  const bool usesHeight = r.mode == SizingMode::Height || usesBox;
  const bool usesWidth = r.mode == SizingMode::Width || usesBox;
  if (!usesRate && !usesHeight && !usesWidth) {
    refuse("sizing mode " + std::to_string(static_cast<int>(r.mode)));
  }
  checkValue("rate", r.rate, usesRate ? 1 : 0, usesRate ? kRateLimit : 0);
  checkValue("height value", r.heightValue, usesHeight ? 1 : 0, usesHeight ? r.pixelLimit : 0);
  checkValue("width value", r.widthValue, usesWidth ? 1 : 0, usesWidth ? r.pixelLimit : 0);
}

}  // namespace

std::optional<PixelSize> Decide(std::int32_t sw, std::int32_t sh, const SizingRequest& r) {
  checkRequest(sw, sh, r);
  if (!shrinks(sw, sh, r)) return std::nullopt;
  const std::int64_t width = sw;
  const std::int64_t height = sh;
  switch (r.mode) {
    case SizingMode::Rate:
      return PixelSize{roundQuotient(width * r.rate, 100), roundQuotient(height * r.rate, 100)};
    case SizingMode::Height:
      return PixelSize{roundQuotient(width * r.heightValue, height), r.heightValue};
    case SizingMode::Width:
      return PixelSize{r.widthValue, roundQuotient(height * r.widthValue, width)};
    case SizingMode::HeightAndWidth:
    case SizingMode::Fill:
      return PixelSize{r.widthValue, r.heightValue};
    case SizingMode::Within:
      return withinBox(width, height, r);
    case SizingMode::Fit:
      return fitToLimit(sw, sh, r);
  }
  return std::nullopt;
}

bool CouldHaveMade(const SizingRequest& request, PixelSize size) {
  const std::int32_t width = request.widthValue;
  const std::int32_t height = request.heightValue;
  switch (request.mode) {
    case SizingMode::Height:
      return size.height == height;
    case SizingMode::Width:
      return size.width == width;
    case SizingMode::HeightAndWidth:
    case SizingMode::Fill:
      return size == PixelSize{width, height};
    case SizingMode::Fit:
      return size.width == width || size.height == height;
    case SizingMode::Within:
      return size.width <= width && size.height <= height &&
             (size.width == width || size.height == height);
    case SizingMode::Rate:
      break;
  }
  return true;
}

}  // namespace velmora
