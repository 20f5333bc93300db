// Skipping the source rows the sampler does not take must give the pixels of decoding every
// row, for every sampling layout, however narrow the picture. The layouts below are the ones
// where libjpeg-turbo's skipping was found (by the fuzzer) to be off by a few levels.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/image/nearest_sampling.h"
#include "core/jpeg/jpeg_decoder.h"
#include "core/thumbnail/sampled_decode.h"
#include "decoder_budget.h"
#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using testing::testMemory;

using testing::Bytes;

struct Layout {
  int lumaH, lumaV, chromaH, chromaV;
  int width;
  bool fast;  // whether rows may be skipped: the common photograph layouts must stay fast
};

std::string nameOf(const Layout& l) {
  return std::to_string(l.lumaH) + "x" + std::to_string(l.lumaV) + "/" + std::to_string(l.chromaH) +
         "x" + std::to_string(l.chromaV) + " " + std::to_string(l.width) + " wide";
}

// Whether the decode the sampler starts skips rows: asked of a started decoder of its own, since
// the answer reads the frame, which a finished decode has let go.
bool skipsRows(const Bytes& jpeg) {
  JpegDecoder decoder(jpeg.data(), jpeg.size(), DecodeLimits{testMemory()});
  decoder.readHeader();
  decoder.start(DecodeSettings::sampling());
  return decoder.canSkipRows();
}

RgbImage decodeTo(const Bytes& jpeg, std::int32_t height, RowPassing passing, bool* fast) {
  JpegDecoder decoder(jpeg.data(), jpeg.size(), DecodeLimits{testMemory()});
  decoder.readHeader();
  const std::int32_t width = std::max(1, decoder.width() / 2);
  const SamplingPlan plan(decoder.width(), decoder.height(), 1, width, height);
  ImageSink sink(width, height);
  decodeSampled(decoder, plan, sink, passing);
  *fast = skipsRows(jpeg);
  return sink.take();
}

TEST(RowSkippingLayouts, EqualsDecodingEveryRowInEveryLayout) {
  const std::vector<Layout> layouts = {
      {2, 2, 1, 1, 640, true},  {2, 1, 1, 1, 640, true},  {1, 1, 1, 1, 640, true},
      {1, 2, 1, 1, 640, true},  {2, 2, 2, 1, 640, true},  {4, 1, 1, 1, 640, true},
      {2, 2, 1, 1, 5, true},    {2, 2, 1, 1, 4, false},   {2, 2, 1, 1, 1, false},
      {3, 2, 1, 1, 640, false}, {4, 2, 1, 1, 640, false}, {1, 3, 1, 1, 640, false},
      {2, 4, 1, 1, 640, false}, {1, 2, 1, 2, 640, false}, {2, 2, 1, 2, 640, false},
      {1, 3, 1, 3, 640, false}, {1, 4, 1, 2, 640, false},
  };
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(nameOf(layout));
    testing::EncodeOptions options;
    options.lumaH = layout.lumaH;
    options.lumaV = layout.lumaV;
    options.chromaH = layout.chromaH;
    options.chromaV = layout.chromaV;
    const Bytes jpeg = testing::encodeJpeg(layout.width, 333, options);
    for (std::int32_t height : {1, 7, 67, 166}) {
      bool fast = false;
      const RgbImage skipped = decodeTo(jpeg, height, RowPassing::Skip, &fast);
      const RgbImage full = decodeTo(jpeg, height, RowPassing::DecodeAll, &fast);
      EXPECT_EQ(skipped.pixels, full.pixels) << height << " rows";
      EXPECT_EQ(fast, layout.fast);
    }
  }
}

}  // namespace
}  // namespace velmora
