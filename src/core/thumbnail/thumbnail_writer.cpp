#include "core/thumbnail/thumbnail_writer.h"

#include <algorithm>

#include "core/errors.h"
#include "core/files/atomic_file.h"
#include "core/files/path_text.h"
#include "core/files/source_file.h"
#include "core/image/exif_orientation.h"
#include "core/image/nearest_sampling.h"
#include "core/image/pixel_region.h"
#include "core/jpeg/jpeg_decoder.h"
#include "core/jpeg/jpeg_encoder.h"
#include "core/thumbnail/averaged_decode.h"
#include "core/thumbnail/colour_output.h"
#include "core/thumbnail/kept_metadata_writer.h"
#include "core/thumbnail/sampled_decode.h"

namespace velmora {

std::string successLine(const std::string& source, const std::string& destination) {
  return "缩略图生成:" + source + "-->" + destination;
}

std::string refusalLine(const std::string& source) {
  return "缩略图失败：" + source + "只能缩小！";
}

namespace {

class EncoderSink : public RowSink {
 public:
  explicit EncoderSink(JpegEncoder& encoder) : encoder_(encoder) {}
  void takeRow(const unsigned char* rgb) override { encoder_.writeRow(rgb); }

 private:
  JpegEncoder& encoder_;
};

// Runs one step of a request's work; an error it raises names the request's source.
template <typename Step>
auto forSource(const ThumbnailRequest& request, Step&& step) -> decltype(step()) {
  try {
    return step();
  } catch (Error& error) {
    error.setFile(request.sourcePath);
    throw;
  }
}

// The sizing rules may give a side of 0 for tiny sources; a picture needs at least one pixel.
PixelSize atLeastOnePixel(PixelSize size) {
  return {std::max(size.width, 1), std::max(size.height, 1)};
}

SourceFile openSource(const ThumbnailRequest& request) {
  if (!request.sourceFolder) return SourceFile(request.sourcePath);
  return SourceFile(*request.sourceFolder, nameOf(request.sourcePath), request.sourcePath);
}

// The thumbnail's size as the sizing rules decide it on the picture as displayed, or nothing
// when they refuse. A file of zero bytes is not parsed: it counts as 0 x 0.
std::optional<PixelSize> decidedSize(JpegDecoder& decoder, const SizingRequest& sizing) {
  if (decoder.sourceIsEmpty() && !Decide(0, 0, sizing)) return std::nullopt;
  decoder.readHeader();
  const PictureSides shown =
      displayedSides(decoder.width(), decoder.height(), decoder.exifOrientation());
  const std::optional<PixelSize> decided = Decide(shown.width, shown.height, sizing);
  if (!decided) return std::nullopt;
  return atLeastOnePixel(*decided);
}

RenderedThumbnail refused(RenderedThumbnail result) {
  result.refused = true;
  return result;
}

}  // namespace

RenderedThumbnail renderThumbnail(const ThumbnailRequest& request, const DecodeLimits& limits) {
  SourceFile source = openSource(request);
  RenderedThumbnail result;
  result.source = {request.sourcePath, request.sourceFolder, source.identity(), source.mode()};
  if (request.keep.date) result.source.modified = source.modified();
  JpegDecoder decoder(std::move(source), limits);
  if (request.keep.beyondExif()) decoder.keepMetadataSegments();
  const std::optional<PixelSize> decided = decidedSize(decoder, request.sizing);
  if (!decided) return refused(result);
  const int orientation = decoder.exifOrientation();
  const PixelSize size = *decided;
  const ColourPlan colour = followColourPlan(request.colour, decoder);
  if (!colour.warning.empty()) result.warnings.push_back(colour.warning);
  JpegEncoder encoder(size.width, size.height, request.quality);
  const std::vector<std::string> metadataLeftOut = writeKeptMetadata(
      encoder, decoder.markers(), request.keep, size, colour.thumbnailToSrgb || colour.inkToSrgb);
  result.warnings.insert(result.warnings.end(), metadataLeftOut.begin(), metadataLeftOut.end());
  if (!colour.embeddedProfile.empty()) encoder.embedIccProfile(colour.embeddedProfile);
  EncoderSink encoded(encoder);
  ColouredRows sink(colour, encoded, size.width);
  // A fill keeps the centre of the picture with the thumbnail's proportions, found as stored.
  const Framing framing =
      request.sizing.mode == SizingMode::Fill ? Framing::CentreCut : Framing::Whole;
  if (request.filter == SamplingFilter::Area) {
    decodeAveraged(decoder, orientation, size.width, size.height, sink, framing);
  } else {
    const PictureSides stored = displayedSides(size.width, size.height, orientation);
    const PixelRegion kept =
        framing == Framing::CentreCut
            ? centreCut(decoder.width(), decoder.height(), stored.width, stored.height)
            : PixelRegion{0, 0, decoder.width(), decoder.height()};
    decodeSampled(decoder, SamplingPlan(kept, orientation, size.width, size.height), sink);
  }
  result.jpeg = encoder.finish();
  result.truncated = decoder.dataEndedEarly();
  return result;
}

std::string wouldMakeLine(const std::string& source, const std::string& destination,
                          PixelSize size) {
  return "would make: " + source + " --> " + destination + " (" + std::to_string(size.width) +
         " x " + std::to_string(size.height) + ")";
}

std::optional<PixelSize> decideThumbnail(const ThumbnailRequest& request,
                                         const DecodeLimits& limits) {
  return forSource(request, [&] {
    JpegDecoder decoder(openSource(request), limits);
    return decidedSize(decoder, request.sizing);
  });
}

PreparedThumbnail prepareThumbnail(const ThumbnailRequest& request, const DecodeLimits& limits,
                                   DestinationFolders& folders) {
  return forSource(request, [&] {
    PreparedThumbnail prepared;
    RenderedThumbnail rendered = renderThumbnail(request, limits);
    prepared.refused = rendered.refused;
    prepared.truncated = rendered.truncated;
    prepared.warnings = std::move(rendered.warnings);
    if (!rendered.refused)
      prepared.staged.emplace(folders, request.destinationPath, rendered.source, rendered.jpeg);
    return prepared;
  });
}

std::string commitThumbnail(const ThumbnailRequest& request, PreparedThumbnail& prepared) {
  if (prepared.refused) return refusalLine(request.sourcePath);
  forSource(request, [&] { prepared.staged->putInPlace(); });
  return successLine(request.sourcePath, request.destinationPath);
}

std::string makeThumbnailFile(const ThumbnailRequest& request, DecoderMemoryBudget& memory) {
  DestinationFolders folders;
  PreparedThumbnail prepared = prepareThumbnail(request, DecodeLimits{memory}, folders);
  return commitThumbnail(request, prepared);
}

}  // namespace velmora
