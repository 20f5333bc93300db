#pragma once
// The orientation tag of an EXIF block: how the stored pixels must be turned to be displayed.

#include <cstddef>
#include <cstdint>

namespace velmora {

// True when an APP1 payload is an EXIF block ("Exif" and two zero bytes).
bool isExifBlock(const unsigned char* payload, std::size_t size);

// The orientation tag (1 to 8) of IFD0 of an EXIF APP1 payload. Anything unreadable (a cut
// block, offsets outside it, an unknown byte order, a missing tag or a value outside 1..8)
// gives 1, the stored pixels as they are: a broken EXIF block is never an error.
int exifOrientation(const unsigned char* payload, std::size_t size);

// Tags 5 to 8 show the stored picture with width and height exchanged.
inline bool orientationSwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

struct PictureSides {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// The sides of a stored picture as displayed under the orientation, and (the exchange being
// its own inverse) the stored sides of a picture displayed with these sides.
inline PictureSides displayedSides(std::int32_t width, std::int32_t height, int orientation) {
  if (orientationSwapsSides(orientation)) return {height, width};
  return {width, height};
}

}  // namespace velmora
