#pragma once
// The XMP packet a thumbnail carries: the source's, with its orientation and sides made the
// thumbnail's.

#include <cstddef>
#include <cstdint>

#include "core/metadata/rewritten_block.h"

namespace velmora {

// True when an APP1 payload is an XMP packet (Adobe's namespace and a zero byte before it).
bool isXmpBlock(const unsigned char* payload, std::size_t size);

// The packet with tiff:Orientation set to 1 and tiff:ImageWidth, tiff:ImageLength,
// exif:PixelXDimension and exif:PixelYDimension set to the thumbnail's sides where they are
// present, as attributes or as elements, under the prefixes every XMP writer uses for them; when
// the colours were made sRGB, exif:ColorSpace is set to 1 and photoshop:ICCProfile to sRGB's
// name where present. The rest of the text is kept byte for byte. A packet that would not fit one
// segment is left out with a warning (the extended XMP of other segments is never kept).
RewrittenBlock rewriteXmp(const unsigned char* payload, std::size_t size, std::int32_t width,
                          std::int32_t height, bool coloursMadeSrgb);

}  // namespace velmora
