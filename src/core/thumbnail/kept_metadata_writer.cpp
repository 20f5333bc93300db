#include "core/thumbnail/kept_metadata_writer.h"

#include "core/metadata/exif_rewrite.h"
#include "core/metadata/xmp_rewrite.h"

namespace velmora {

namespace {

constexpr int kApp1 = 0xE1;
constexpr int kApp13 = 0xED;
constexpr int kComment = 0xFE;

void writeRewritten(JpegEncoder& encoder, const RewrittenBlock& block,
                    std::vector<std::string>& warnings) {
  if (!block.payload.empty()) encoder.writeSegment(kApp1, block.payload);
  if (!block.warning.empty()) warnings.push_back(block.warning);
}

}  // namespace

std::vector<std::string> writeKeptMetadata(JpegEncoder& encoder, const SourceMarkers& markers,
                                           const KeptMetadata& keep, PixelSize size,
                                           bool coloursMadeSrgb) {
  std::vector<std::string> warnings;
  if (keep.exif && !markers.exif.empty()) {
    const ExifRewrite rewrite{size.width, size.height, keep.location, coloursMadeSrgb};
    writeRewritten(encoder, rewriteExif(markers.exif.data(), markers.exif.size(), rewrite),
                   warnings);
  }
  if (keep.xmp && !markers.xmp.empty()) {
    writeRewritten(encoder,
                   rewriteXmp(markers.xmp.data(), markers.xmp.size(), size.width, size.height,
                              coloursMadeSrgb),
                   warnings);
  }
  if (keep.iptc) {
    for (const std::vector<unsigned char>& block : markers.iptc)
      encoder.writeSegment(kApp13, block);
  }
  if (keep.comments) {
    for (const std::vector<unsigned char>& text : markers.comments) {
      encoder.writeSegment(kComment, text);
    }
  }
  return warnings;
}

}  // namespace velmora
