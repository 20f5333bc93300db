#include "core/xdg/cache_render.h"

#include <deque>

#include "core/files/source_file.h"
#include "core/image/exif_orientation.h"
#include "core/image/row_sink.h"
#include "core/jpeg/jpeg_decoder.h"
#include "core/thumbnail/averaged_decode.h"
#include "core/thumbnail/colour_output.h"
#include "core/xdg/cache_sizes.h"

namespace velmora {

CachePictures renderCachePictures(const std::string& sourcePath,
                                  const std::vector<std::int32_t>& limits,
                                  const DecodeLimits& decodeLimits) {
  JpegDecoder decoder(SourceFile(sourcePath), decodeLimits);
  decoder.readHeader();
  const int orientation = decoder.exifOrientation();
  const PictureSides shown = displayedSides(decoder.width(), decoder.height(), orientation);
  CachePictures result;
  result.shown = {shown.width, shown.height};
  const ColourPlan colour = followColourPlan(ColourHandling::Srgb, decoder);
  if (!colour.warning.empty()) result.warnings.push_back(colour.warning);
  std::vector<ImageSink> pictures;
  std::deque<ColouredRows> coloured;
  std::vector<AveragedOutput> outputs;
  pictures.reserve(limits.size());
  for (const std::int32_t limit : limits) {
    const PixelSize size = cacheEntrySize(result.shown, limit);
    pictures.emplace_back(size.width, size.height);
    coloured.emplace_back(colour, pictures.back(), size.width);
    outputs.push_back({size, Framing::Whole, &coloured.back()});
  }
  decodeAveraged(decoder, orientation, outputs);
  result.truncated = decoder.dataEndedEarly();
  for (ImageSink& picture : pictures) result.pictures.push_back(picture.take());
  return result;
}

}  // namespace velmora
