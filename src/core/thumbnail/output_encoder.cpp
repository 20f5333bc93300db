#include "core/thumbnail/output_encoder.h"

#include "core/thumbnail/kept_metadata_writer.h"

namespace velmora {

OutputEncoder::OutputEncoder(PixelSize size, const ThumbnailRequest& request,
                             const ColourPlan& colour, const SourceMarkers& markers)
    : encoder_(size.width, size.height, request.quality),
      warnings_(writeKeptMetadata(encoder_, markers, request.keep, size,
                                  colour.thumbnailToSrgb || colour.inkToSrgb)),
      encoded_(encoder_),
      coloured_(colour, encoded_, size.width) {
  if (!colour.embeddedProfile.empty()) encoder_.embedIccProfile(colour.embeddedProfile);
}

std::vector<unsigned char> OutputEncoder::finish() { return encoder_.finish(); }

}  // namespace velmora
