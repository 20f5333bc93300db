#pragma once
// The orientation tag of an EXIF block: how the stored pixels must be turned to be displayed.

#include <cstddef>

namespace velmora {

// True when an APP1 payload is an EXIF block ("Exif" and two zero bytes).
bool isExifBlock(const unsigned char* payload, std::size_t size);

// The orientation tag (1 to 8) of IFD0 of an EXIF APP1 payload. Anything unreadable (a cut
// block, offsets outside it, an unknown byte order, a missing tag or a value outside 1..8)
// gives 1, the stored pixels as they are: a broken EXIF block is never an error.
int exifOrientation(const unsigned char* payload, std::size_t size);

// Tags 5 to 8 show the stored picture with width and height exchanged.
inline bool orientationSwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

}  // namespace velmora
