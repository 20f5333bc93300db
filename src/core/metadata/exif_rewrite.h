#pragma once
// The EXIF block a thumbnail carries: the source's, rebuilt for the thumbnail's pixels.

#include <cstddef>
#include <cstdint>

#include "core/metadata/rewritten_block.h"

namespace velmora {

struct ExifRewrite {
  std::int32_t width = 0;  // the thumbnail's sides, as its pixels are stored
  std::int32_t height = 0;
  bool keepLocation = false;  // the GPS directory goes along
  // The thumbnail's colours were converted into sRGB: its ColorSpace is set to 1 (sRGB) and its
  // interoperability index to "R98", so that no reader takes them for the source's Adobe RGB.
  bool coloursMadeSrgb = false;
};

// Rebuilds an EXIF APP1 payload ("Exif", two zero bytes and a TIFF structure) as a compact new
// structure in the source's byte order: IFD0 with Orientation 1 and its sides (ImageWidth,
// ImageLength) set to the thumbnail's where present, the EXIF directory with PixelXDimension and
// PixelYDimension likewise, the interoperability directory as it is (both saying sRGB when the
// colours were made sRGB), the GPS directory only
// when asked for; the embedded thumbnail (IFD1 and its data) and any offsets to picture data are
// left behind. The maker note goes at its old offset when it can (some makers count their own
// offsets from the block's start), and is left out when the block would not fit one segment
// with it. A block that cannot be read whole (an offset outside it, a directory overlapping
// another or pointing back at one, an unknown byte order) is left out with a warning.
RewrittenBlock rewriteExif(const unsigned char* payload, std::size_t size,
                           const ExifRewrite& rewrite);

}  // namespace velmora
