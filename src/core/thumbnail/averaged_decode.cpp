#include "core/thumbnail/averaged_decode.h"

#include <algorithm>
#include <vector>

#include "core/image/area_cascade.h"
#include "core/image/area_sampling.h"
#include "core/image/exif_orientation.h"
#include "core/image/nearest_sampling.h"

namespace velmora {

namespace {

// The smallest DCT scale that leaves each output, as stored, at least twice its size.
int scaleForAll(const JpegDecoder& decoder, const std::vector<PictureSides>& stored) {
  int eighths = 1;
  for (const PictureSides& sides : stored) {
    eighths = std::max(
        eighths, averagingScale(decoder.width(), decoder.height(), sides.width, sides.height));
  }
  return eighths;
}

void startForAveraging(JpegDecoder& decoder, const std::vector<PictureSides>& stored,
                       std::uint64_t heldBeside) {
  // A reduced decode averages the file's own components. For four components that is wrong:
  // a pixel's colour is ink times black, and the mean of products is not the product of means
  // (black and white stripes would come out a quarter grey). They are decoded at full size and
  // averaged after conversion.
  constexpr int kFullScale = 8;
  const int eighths = decoder.fourComponents() ? kFullScale : scaleForAll(decoder, stored);
  DecodeSettings settings = DecodeSettings::averaging(eighths);
  // At the two smallest scales a thumbnail pixel spans a block or more of the picture, so a
  // progressive file's finer coefficients and lowest bits hardly move it; their scans are
  // most of the decoding time.
  if (decoder.progressive() && eighths == 1) settings = DecodeSettings::dcScans();
  if (decoder.progressive() && eighths == 2) settings = DecodeSettings::firstPassScans();
  settings.heldBeside = heldBeside;
  decoder.start(settings);
}

void averageRows(JpegDecoder& decoder, const std::vector<PictureSides>& stored,
                 const std::vector<AveragedOutput>& outputs, const std::vector<RowSink*>& sinks) {
  std::vector<AreaTarget> targets;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    targets.push_back(
        {stored[i].width, stored[i].height, outputs[i].framing == Framing::CentreCut, sinks[i]});
  }
  AreaCascade cascade(decoder.outputWidth(), decoder.outputHeight(), targets);
  std::vector<unsigned char> row(static_cast<std::size_t>(decoder.outputWidth()) * 3);
  for (std::int32_t y = 0; y < decoder.outputHeight(); ++y) {
    decoder.readRow(row.data());
    cascade.takeRow(row.data());
  }
  decoder.finish();
}

// Turns the averaged picture, still as stored, to the way it is displayed, a row at a time so
// that it is never held twice. The sampling plan at equal sizes takes every pixel once, so it
// only reorders them.
void handOverOriented(const RgbImage& stored, int orientation, std::int32_t outputWidth,
                      std::int32_t outputHeight, RowSink& sink) {
  const SamplingPlan plan(stored.width, stored.height, orientation, outputWidth, outputHeight);
  const std::vector<std::int32_t>& lines = plan.storedRowOfLine();
  const std::vector<std::int32_t>& samples = plan.storedColumnOfSample();
  std::vector<unsigned char> row(static_cast<std::size_t>(outputWidth) * 3);
  for (std::int32_t y = 0; y < outputHeight; ++y) {
    for (std::int32_t x = 0; x < outputWidth; ++x) {
      const auto line = static_cast<std::size_t>(plan.transposed() ? x : y);
      const auto sample = static_cast<std::size_t>(plan.transposed() ? y : x);
      const unsigned char* from = stored.pixels.data() +
                                  static_cast<std::size_t>(lines[line]) * stored.rowBytes() +
                                  3 * static_cast<std::size_t>(samples[sample]);
      std::copy(from, from + 3, &row[3 * static_cast<std::size_t>(x)]);
    }
    sink.takeRow(row.data());
  }
}

}  // namespace

void decodeAveraged(JpegDecoder& decoder, int orientation, std::int32_t outputWidth,
                    std::int32_t outputHeight, RowSink& sink, Framing framing) {
  decodeAveraged(decoder, orientation, {{PixelSize{outputWidth, outputHeight}, framing, &sink}});
}

void decodeAveraged(JpegDecoder& decoder, int orientation,
                    const std::vector<AveragedOutput>& outputs) {
  std::vector<PictureSides> stored;
  std::vector<RowSink*> sinks;
  // Turned, each averaged picture is held whole before its first row is known.
  std::uint64_t heldBeside = 0;
  for (const AveragedOutput& output : outputs) {
    if (orientation != 1) heldBeside += pictureBytes(output.size.width, output.size.height);
    stored.push_back(displayedSides(output.size.width, output.size.height, orientation));
    sinks.push_back(output.sink);
  }
  startForAveraging(decoder, stored, heldBeside);
  if (orientation == 1) {
    averageRows(decoder, stored, outputs, sinks);
    return;
  }
  std::vector<ImageSink> storedPictures;
  std::vector<RowSink*> storedSinks;
  storedPictures.reserve(stored.size());
  for (const PictureSides& sides : stored) {
    storedPictures.emplace_back(sides.width, sides.height);
    storedSinks.push_back(&storedPictures.back());
  }
  averageRows(decoder, stored, outputs, storedSinks);
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    handOverOriented(storedPictures[i].take(), orientation, outputs[i].size.width,
                     outputs[i].size.height, *outputs[i].sink);
  }
}

}  // namespace velmora
