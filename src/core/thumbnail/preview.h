#pragma once
// The main window's preview: the source's size and a picture small enough for the preview area.

#include <cstdint>
#include <string>

#include "core/image/rgb_image.h"
#include "core/jpeg/decoder_memory.h"

namespace velmora {

// The integer reduction factor E for a W x H picture in an A x B area: 1 when the picture
// fits; otherwise the truncated quotient of the deciding side (height for portrait, width
// for landscape or square), at least 1. An area of zero width or height gives 1.
std::int32_t previewReduction(std::int32_t areaWidth, std::int32_t areaHeight, std::int32_t width,
                              std::int32_t height);

struct Preview {
  std::int32_t sourceWidth = 0;  // as the size label shows it
  std::int32_t sourceHeight = 0;
  RgbImage picture;  // (W div E) x (H div E), decoded and sampled as thumbnails are
};

// Loads the file as the thumbnail writer does, drawing on the memory budget the program's
// thumbnail runs share, and makes its preview for the given area. An area of zero width or
// height gets the source's size and no picture: only the header is read. Throws EFOpenError,
// EReadError or EJPEG.
Preview loadPreview(const std::string& path, std::int32_t areaWidth, std::int32_t areaHeight,
                    DecoderMemoryBudget& memory);

}  // namespace velmora
