// Several thumbnails of one source from one decode: each is what a request of its own makes.

#include <gtest/gtest.h>

#include <cmath>

#include "core/image/area_sampling.h"
#include "core/image/pixel_region.h"
#include "core/image/row_sink.h"
#include "core/thumbnail/thumbnail_writer.h"
#include "decoder_budget.h"
#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using testing::decodePlain;
using testing::encodeJpeg;
using testing::EncodeOptions;
using testing::FileColours;
using testing::TempFolder;
using testing::testMemory;
using testing::writeBytes;

// The source's full decode averaged into the output: the reference area thumbnails are judged by.
RgbImage boxFiltered(const RgbImage& full, const RgbImage& output, bool fill) {
  const PixelRegion kept = fill ? centreCut(full.width, full.height, output.width, output.height)
                                : PixelRegion{0, 0, full.width, full.height};
  ImageSink sink(output.width, output.height);
  AreaReducer reducer(kept, output.width, output.height, sink);
  for (std::int32_t y = 0; y < full.height; ++y) {
    reducer.takeRow(full.pixels.data() + static_cast<std::size_t>(y) * full.rowBytes());
  }
  return sink.take();
}

double psnr(const RgbImage& a, const RgbImage& b) {
  double squares = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    const double difference = double(a.pixels[i]) - double(b.pixels[i]);
    squares += difference * difference;
  }
  return 10 * std::log10(255.0 * 255.0 * double(a.pixels.size()) / std::max(squares, 1e-9));
}

TEST(SeveralOutputs, EachEqualsItsOwnRun) {
  struct Kind {
    const char* name;
    FileColours colours;
    bool progressive;
    int orientation;
  };
  const std::vector<SizingRequest> sizings = {
      {SizingMode::Fit, 0, 400, 400, kLargestSourceSide},
      {SizingMode::Fit, 0, 2000, 2000, kLargestSourceSide},  // refused: only shrinks
      {SizingMode::Width, 0, 0, 150, kLargestSourceSide},
      {SizingMode::Within, 0, 90, 90, kLargestSourceSide},
      {SizingMode::Fill, 0, 32, 32, kLargestSourceSide},
  };
  for (const Kind& kind :
       {Kind{"baseline", FileColours::YCbCr, false, 0},
        Kind{"progressive", FileColours::YCbCr, true, 0}, Kind{"grey", FileColours::Grey, false, 0},
        Kind{"turned", FileColours::YCbCr, false, 6},
        Kind{"upside down", FileColours::YCbCr, false, 3}}) {
    for (const SamplingFilter filter : {SamplingFilter::Nearest, SamplingFilter::Area}) {
      SCOPED_TRACE(std::string(kind.name) + (filter == SamplingFilter::Area ? " area" : ""));
      TempFolder folder;
      EncodeOptions options;
      options.colours = kind.colours;
      options.progressive = kind.progressive;
      options.exifOrientation = kind.orientation;
      const std::vector<unsigned char> jpeg = encodeJpeg(803, 611, options);
      writeBytes(folder.file("s.jpg"), jpeg);
      ThumbnailRequest together{folder.file("s.jpg"), "", sizings.front(), filter};
      for (std::size_t i = 1; i < sizings.size(); ++i)
        together.moreOutputs.push_back({"", sizings[i]});
      const RenderedThumbnail all = renderThumbnail(together, DecodeLimits{testMemory()});
      ASSERT_EQ(all.outputs.size(), sizings.size());
      const RgbImage full = decodePlain(jpeg);
      for (std::size_t i = 0; i < sizings.size(); ++i) {
        SCOPED_TRACE(i);
        const RenderedThumbnail alone = renderThumbnail(
            {folder.file("s.jpg"), "", sizings[i], filter}, DecodeLimits{testMemory()});
        EXPECT_EQ(all.outputs[i].refused, alone.outputs.front().refused);
        if (filter == SamplingFilter::Nearest || alone.outputs.front().refused) {
          EXPECT_TRUE(all.outputs[i].jpeg == alone.outputs.front().jpeg);
          continue;
        }
        // A larger decode may serve an area output; it may not take it further from the
        // reference. Turned pictures are compared as decoded, so only their sizes here.
        const RgbImage shared = decodePlain(all.outputs[i].jpeg);
        const RgbImage own = decodePlain(alone.outputs.front().jpeg);
        ASSERT_EQ(shared.width, own.width);
        ASSERT_EQ(shared.height, own.height);
        if (kind.orientation != 0) continue;
        const RgbImage reference = boxFiltered(full, own, sizings[i].mode == SizingMode::Fill);
        EXPECT_GE(psnr(shared, reference), psnr(own, reference) - 0.5);
      }
    }
  }
}

}  // namespace
}  // namespace velmora
