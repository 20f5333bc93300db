#include "core/thumbnail/averaged_decode.h"

#include <vector>

#include "core/image/area_sampling.h"
#include "core/image/exif_orientation.h"
#include "core/image/nearest_sampling.h"

namespace velmora {

namespace {

void startForAveraging(JpegDecoder& decoder, std::int32_t storedWidth, std::int32_t storedHeight) {
  // A reduced decode averages the file's own components. For four components that is wrong:
  // a pixel's colour is ink times black, and the mean of products is not the product of means
  // (black and white stripes would come out a quarter grey). They are decoded at full size and
  // averaged after conversion.
  constexpr int kFullScale = 8;
  const int eighths = decoder.fourComponents() ? kFullScale
                                               : averagingScale(decoder.width(), decoder.height(),
                                                                storedWidth, storedHeight);
  decoder.start(eighths == 1 && decoder.progressive() ? DecodeSettings::dcScans()
                                                      : DecodeSettings::averaging(eighths));
}

void averageRows(JpegDecoder& decoder, std::int32_t storedWidth, std::int32_t storedHeight,
                 RowSink& sink) {
  AreaReducer reducer(decoder.outputWidth(), decoder.outputHeight(), storedWidth, storedHeight,
                      sink);
  std::vector<unsigned char> row(static_cast<std::size_t>(decoder.outputWidth()) * 3);
  for (std::int32_t y = 0; y < decoder.outputHeight(); ++y) {
    decoder.readRow(row.data());
    reducer.takeRow(row.data());
  }
  decoder.finish();
}

// Turns the averaged picture, still as stored, to the way it is displayed. The sampling plan
// at equal sizes takes every pixel once, so it only reorders them.
void handOverOriented(const RgbImage& stored, int orientation, std::int32_t outputWidth,
                      std::int32_t outputHeight, RowSink& sink) {
  const SamplingPlan plan(stored.width, stored.height, orientation, outputWidth, outputHeight);
  const std::vector<std::int32_t>& lines = plan.storedRowOfLine();
  UprightPicture out(plan);
  for (std::size_t line = 0; line < lines.size(); ++line) {
    out.fillLine(line,
                 stored.pixels.data() + static_cast<std::size_t>(lines[line]) * stored.rowBytes());
  }
  out.handOver(sink);
}

}  // namespace

void decodeAveraged(JpegDecoder& decoder, int orientation, std::int32_t outputWidth,
                    std::int32_t outputHeight, RowSink& sink) {
  const PictureSides storedSides = displayedSides(outputWidth, outputHeight, orientation);
  const std::int32_t storedWidth = storedSides.width;
  const std::int32_t storedHeight = storedSides.height;
  startForAveraging(decoder, storedWidth, storedHeight);
  if (orientation == 1) {
    averageRows(decoder, storedWidth, storedHeight, sink);
    return;
  }
  ImageSink stored(storedWidth, storedHeight);
  averageRows(decoder, storedWidth, storedHeight, stored);
  handOverOriented(stored.take(), orientation, outputWidth, outputHeight, sink);
}

}  // namespace velmora
