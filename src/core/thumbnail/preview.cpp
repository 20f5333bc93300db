#include "core/thumbnail/preview.h"

#include <algorithm>

#include "core/files/source_file.h"
#include "core/image/exif_orientation.h"
#include "core/image/nearest_sampling.h"
#include "core/jpeg/jpeg_decoder.h"
#include "core/thumbnail/sampled_decode.h"

namespace velmora {

std::int32_t previewReduction(std::int32_t areaWidth, std::int32_t areaHeight, std::int32_t width,
                              std::int32_t height) {
  // A pane snapped shut has no size to divide by: show the picture unreduced.
  if (areaWidth <= 0 || areaHeight <= 0) return 1;
  if (areaWidth >= width && areaHeight >= height) return 1;
  const std::int32_t e = width < height ? height / areaHeight : width / areaWidth;
  return std::max(e, 1);
}

Preview loadPreview(const std::string& path, std::int32_t areaWidth, std::int32_t areaHeight,
                    DecoderMemoryBudget& memory) {
  Preview preview;
  JpegDecoder decoder(SourceFile(path), DecodeLimits{memory});
  // A file of zero bytes counts as a 0 x 0 picture, which always fits.
  if (decoder.sourceIsEmpty()) return preview;
  decoder.readHeader();
  const int orientation = decoder.exifOrientation();
  const PictureSides shown = displayedSides(decoder.width(), decoder.height(), orientation);
  preview.sourceWidth = shown.width;
  preview.sourceHeight = shown.height;

  // A pane dragged shut shows nothing, so nothing beyond the header is decoded.
  if (areaWidth <= 0 || areaHeight <= 0) return preview;

  const std::int32_t e =
      previewReduction(areaWidth, areaHeight, preview.sourceWidth, preview.sourceHeight);
  const std::int32_t width = std::max(preview.sourceWidth / e, 1);
  const std::int32_t height = std::max(preview.sourceHeight / e, 1);
  const SamplingPlan plan(decoder.width(), decoder.height(), orientation, width, height);
  ImageSink sink(width, height);
  decodeSampled(decoder, plan, sink);
  preview.picture = sink.take();
  return preview;
}

}  // namespace velmora
