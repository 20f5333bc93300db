#pragma once
// Decoding a source once into its thumbnails for the desktop, one per size.

#include <cstdint>
#include <string>
#include <vector>

#include "core/image/rgb_image.h"
#include "core/jpeg/decode_limits.h"
#include "core/rules/thumbnail_sizing.h"

namespace velmora {

struct CachePictures {
  PixelSize shown;                    // the source picture as displayed
  std::vector<RgbImage> pictures;     // one per limit, in the order asked
  bool truncated = false;             // the picture data ended early; the rest of it is grey
  std::vector<std::string> warnings;  // as RenderedThumbnail::warnings
};

// Each thumbnail sized by cacheEntrySize for its limit, area-averaged, upright under the EXIF
// orientation, its colours converted to sRGB as the desktop's readers assume them; all from one
// decode within the decoder's limits. Throws EFOpenError, EReadError or EJPEG, and DecodeStopped.
CachePictures renderCachePictures(const std::string& sourcePath,
                                  const std::vector<std::int32_t>& limits,
                                  const DecodeLimits& decodeLimits);

}  // namespace velmora
