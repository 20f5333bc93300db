#pragma once
// The sizing rules: whether a thumbnail may be made (the program only shrinks) and its size.

#include <cstdint>
#include <optional>

#include "core/rules/field_validation.h"

namespace velmora {

enum class SizingMode : int {
  Rate = 1,            // scale by a percentage
  Height = 2,          // fixed height, width follows the aspect ratio
  Width = 3,           // fixed width, height follows the aspect ratio
  HeightAndWidth = 4,  // fixed height and width, aspect ratio not kept
  Fit = 5,             // fit the side that decides the orientation to its limit
  // The command line's rules for galleries:
  Within = 6,  // the largest size inside the box, aspect ratio kept
  Fill = 7,    // exactly the box, aspect ratio kept by cutting the centre of the longer side
};

// The largest side a JPEG header can give.
inline constexpr std::int32_t kLargestSourceSide = 65535;

// The user's choice; values the mode does not use are 0.
struct SizingRequest {
  SizingMode mode = SizingMode::Rate;
  std::int32_t rate = 0;         // percent
  std::int32_t heightValue = 0;  // pixels
  std::int32_t widthValue = 0;   // pixels
  // The largest pixel value the caller allows: the window's fields stop at kSizeLimit, the
  // command line at kLargestSourceSide.
  std::int32_t pixelLimit = kSizeLimit;
};

struct PixelSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
  friend bool operator==(PixelSize a, PixelSize b) {
    return a.width == b.width && a.height == b.height;
  }
};

// The thumbnail's size for a source of the given size, or nothing when the request is refused
// because it would not shrink. A result side may be 0 for tiny sources. Throws
// std::invalid_argument, naming the value, for a source side outside 0 to kLargestSourceSide,
// an unknown mode, a used value outside 1 to its limit (the rate's field range, the request's
// pixelLimit, itself at most kLargestSourceSide) or an unused value other than 0.
std::optional<PixelSize> Decide(std::int32_t sourceWidth, std::int32_t sourceHeight,
                                const SizingRequest& request);

// Whether a thumbnail of `size` may have come from the request, whatever its source: the sides
// the request fixes are those sides (a rate fixes none). Pruning keeps any other JPEG.
bool CouldHaveMade(const SizingRequest& request, PixelSize size);

}  // namespace velmora
