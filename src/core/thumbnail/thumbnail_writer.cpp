#include "core/thumbnail/thumbnail_writer.h"

#include <algorithm>
#include <memory>

#include "core/errors.h"
#include "core/files/atomic_file.h"
#include "core/files/path_text.h"
#include "core/files/source_file.h"
#include "core/image/exif_orientation.h"
#include "core/image/nearest_sampling.h"
#include "core/image/pixel_region.h"
#include "core/jpeg/jpeg_decoder.h"
#include "core/thumbnail/averaged_decode.h"
#include "core/thumbnail/colour_output.h"
#include "core/thumbnail/output_encoder.h"
#include "core/thumbnail/sampled_decode.h"

namespace velmora {

std::string successLine(const std::string& source, const std::string& destination) {
  return "缩略图生成:" + source + "-->" + destination;
}

std::string refusalLine(const std::string& source) {
  return "缩略图失败：" + source + "只能缩小！";
}

namespace {

// Runs one step of a source's work; an error it raises names the source.
template <typename Step>
auto forSource(const std::string& source, Step&& step) -> decltype(step()) {
  try {
    return step();
  } catch (Error& error) {
    error.setFile(source);
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

// Each output's size as the sizing rules decide it on the picture as displayed, or nothing
// when they refuse. A file of zero bytes is not parsed when every output refuses it as 0 x 0.
std::vector<std::optional<PixelSize>> decidedSizes(JpegDecoder& decoder,
                                                   const std::vector<ThumbnailOutput>& outputs) {
  std::vector<std::optional<PixelSize>> sizes(outputs.size());
  if (decoder.sourceIsEmpty() &&
      std::none_of(outputs.begin(), outputs.end(),
                   [](const ThumbnailOutput& output) { return Decide(0, 0, output.sizing); })) {
    return sizes;
  }
  decoder.readHeader();
  const PictureSides shown =
      displayedSides(decoder.width(), decoder.height(), decoder.exifOrientation());
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const std::optional<PixelSize> decided = Decide(shown.width, shown.height, outputs[i].sizing);
    if (decided) sizes[i] = atLeastOnePixel(*decided);
  }
  return sizes;
}

// A fill keeps the centre of the picture with the thumbnail's proportions, found as stored.
Framing framingOf(const ThumbnailOutput& output) {
  return output.sizing.mode == SizingMode::Fill ? Framing::CentreCut : Framing::Whole;
}

// An output made by picking pixels: the whole picture, or its centre cut, as stored.
SamplingPlan pickingPlan(const JpegDecoder& decoder, int orientation, PixelSize size,
                         Framing framing) {
  const PictureSides stored = displayedSides(size.width, size.height, orientation);
  const PixelRegion kept =
      framing == Framing::CentreCut
          ? centreCut(decoder.width(), decoder.height(), stored.width, stored.height)
          : PixelRegion{0, 0, decoder.width(), decoder.height()};
  return SamplingPlan(kept, orientation, size.width, size.height);
}

// Decodes the source once and hands each output its rows, as the request's filter takes them.
void decodeOutputs(JpegDecoder& decoder, const ThumbnailRequest& request,
                   const std::vector<ThumbnailOutput>& outputs, const std::vector<PixelSize>& sizes,
                   const std::vector<RowSink*>& sinks) {
  const int orientation = decoder.exifOrientation();
  if (request.filter == SamplingFilter::Area) {
    std::vector<AveragedOutput> averaged;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
      averaged.push_back({sizes[i], framingOf(outputs[i]), sinks[i]});
    }
    decodeAveraged(decoder, orientation, averaged);
    return;
  }
  std::vector<SamplingPlan> plans;
  std::vector<const SamplingPlan*> planned;
  plans.reserve(outputs.size());
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    plans.push_back(pickingPlan(decoder, orientation, sizes[i], framingOf(outputs[i])));
    planned.push_back(&plans.back());
  }
  decodeSampled(decoder, planned, sinks);
}

}  // namespace

RenderedThumbnail renderThumbnail(const ThumbnailRequest& request, const DecodeLimits& limits) {
  SourceFile source = openSource(request);
  RenderedThumbnail result;
  result.source = {request.sourcePath, request.sourceFolder, source.identity(), source.mode()};
  if (request.keep.date) result.source.modified = source.modified();
  JpegDecoder decoder(std::move(source), limits);
  if (request.keep.beyondExif()) decoder.keepMetadataSegments();
  const std::vector<ThumbnailOutput> outputs = outputsOf(request);
  const std::vector<std::optional<PixelSize>> decided = decidedSizes(decoder, outputs);
  result.outputs.resize(outputs.size());
  if (std::none_of(decided.begin(), decided.end(),
                   [](const std::optional<PixelSize>& size) { return size.has_value(); })) {
    for (RenderedOutput& output : result.outputs) output.refused = true;
    return result;
  }
  const ColourPlan colour = followColourPlan(request.colour, decoder);
  if (!colour.warning.empty()) result.warnings.push_back(colour.warning);
  // The outputs that are made, with an encoder each that takes its rows as they are sampled.
  std::vector<std::size_t> made;
  std::vector<ThumbnailOutput> madeOutputs;
  std::vector<PixelSize> sizes;
  std::vector<std::unique_ptr<OutputEncoder>> encoders;
  std::vector<RowSink*> sinks;
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    result.outputs[i].refused = !decided[i];
    if (!decided[i]) continue;
    made.push_back(i);
    madeOutputs.push_back(outputs[i]);
    sizes.push_back(*decided[i]);
    encoders.push_back(
        std::make_unique<OutputEncoder>(*decided[i], request, colour, decoder.markers()));
    sinks.push_back(encoders.back().get());
    // Each output carries the same metadata, so what was left out is said once.
    for (const std::string& warning : encoders.back()->warnings()) {
      if (std::find(result.warnings.begin(), result.warnings.end(), warning) ==
          result.warnings.end()) {
        result.warnings.push_back(warning);
      }
    }
  }
  decodeOutputs(decoder, request, madeOutputs, sizes, sinks);
  for (std::size_t k = 0; k < made.size(); ++k)
    result.outputs[made[k]].jpeg = encoders[k]->finish();
  result.truncated = decoder.dataEndedEarly();
  return result;
}

std::string wouldMakeLine(const std::string& source, const std::string& destination,
                          PixelSize size) {
  return "would make: " + source + " --> " + destination + " (" + std::to_string(size.width) +
         " x " + std::to_string(size.height) + ")";
}

std::vector<std::optional<PixelSize>> decideThumbnails(const ThumbnailRequest& request,
                                                       const DecodeLimits& limits) {
  return forSource(request.sourcePath, [&] {
    JpegDecoder decoder(openSource(request), limits);
    return decidedSizes(decoder, outputsOf(request));
  });
}

PreparedThumbnail prepareThumbnail(const ThumbnailRequest& request, const DecodeLimits& limits,
                                   DestinationFolders& folders) {
  RenderedThumbnail rendered =
      forSource(request.sourcePath, [&] { return renderThumbnail(request, limits); });
  const std::vector<ThumbnailOutput> outputs = outputsOf(request);
  PreparedThumbnail prepared;
  prepared.truncated = rendered.truncated;
  prepared.warnings = std::move(rendered.warnings);
  prepared.outputs.resize(outputs.size());
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    PreparedOutput& output = prepared.outputs[i];
    output.refused = rendered.outputs[i].refused;
    if (output.refused) continue;
    try {
      forSource(request.sourcePath, [&] {
        output.staged.emplace(folders, outputs[i].destinationPath, rendered.source,
                              rendered.outputs[i].jpeg);
      });
    } catch (const Error&) {
      output.error = std::current_exception();
    }
    rendered.outputs[i].jpeg = {};
  }
  return prepared;
}

std::string commitThumbnail(const std::string& source, const std::string& destination,
                            PreparedOutput& prepared) {
  if (prepared.refused) return refusalLine(source);
  forSource(source, [&] { prepared.staged->putInPlace(); });
  return successLine(source, destination);
}

std::string makeThumbnailFile(const ThumbnailRequest& request, DecoderMemoryBudget& memory) {
  DestinationFolders folders;
  PreparedThumbnail prepared = prepareThumbnail(request, DecodeLimits{memory}, folders);
  PreparedOutput& only = prepared.outputs.front();
  if (only.error) std::rethrow_exception(only.error);
  return commitThumbnail(request.sourcePath, request.destinationPath, only);
}

}  // namespace velmora
