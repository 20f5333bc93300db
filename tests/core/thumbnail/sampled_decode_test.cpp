#include "core/thumbnail/sampled_decode.h"

#include <gtest/gtest.h>

#include "core/image/nearest_sampling.h"
#include "core/jpeg/jpeg_decoder.h"
#include "decoder_budget.h"
#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using testing::testMemory;

using testing::encodeJpeg;
using testing::EncodeOptions;
using testing::FileColours;

RgbImage decodeTo(const std::vector<unsigned char>& jpeg, int orientation, std::int32_t width,
                  std::int32_t height, RowPassing passing) {
  JpegDecoder decoder(jpeg.data(), jpeg.size(), DecodeLimits{testMemory()});
  decoder.readHeader();
  const SamplingPlan plan(decoder.width(), decoder.height(), orientation, width, height);
  ImageSink sink(width, height);
  decodeSampled(decoder, plan, sink, passing);
  return sink.take();
}

// Every stored pixel, decoded row by row.
RgbImage fullDecode(const std::vector<unsigned char>& jpeg) {
  JpegDecoder decoder(jpeg.data(), jpeg.size(), DecodeLimits{testMemory()});
  decoder.readHeader();
  return decodeTo(jpeg, 1, decoder.width(), decoder.height(), RowPassing::DecodeAll);
}

const unsigned char* pixel(const RgbImage& image, std::int32_t x, std::int32_t y) {
  return &image.pixels[static_cast<std::size_t>(y) * image.rowBytes() + 3 * x];
}

RgbImage mapped(const RgbImage& from, std::int32_t width, std::int32_t height,
                const std::function<std::pair<std::int32_t, std::int32_t>(std::int32_t,
                                                                          std::int32_t)>& source) {
  RgbImage to{width, height, {}};
  to.pixels.resize(to.rowBytes() * height);
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const auto [sx, sy] = source(x, y);
      std::copy_n(pixel(from, sx, sy), 3, &to.pixels[y * to.rowBytes() + 3 * x]);
    }
  }
  return to;
}

RgbImage mirrorLeftRight(const RgbImage& a) {
  return mapped(a, a.width, a.height,
                [&](auto x, auto y) { return std::pair(a.width - 1 - x, y); });
}
RgbImage mirrorTopBottom(const RgbImage& a) {
  return mapped(a, a.width, a.height,
                [&](auto x, auto y) { return std::pair(x, a.height - 1 - y); });
}
RgbImage transpose(const RgbImage& a) {
  return mapped(a, a.height, a.width, [](auto x, auto y) { return std::pair(y, x); });
}

// The stored picture as a viewer displays it, built from plain mirror and transpose steps.
RgbImage displayed(const RgbImage& stored, int orientation) {
  switch (orientation) {
    case 2:
      return mirrorLeftRight(stored);
    case 3:
      return mirrorTopBottom(mirrorLeftRight(stored));
    case 4:
      return mirrorTopBottom(stored);
    case 5:
      return transpose(stored);
    case 6:
      return mirrorLeftRight(transpose(stored));  // a quarter turn clockwise
    case 7:
      return mirrorTopBottom(mirrorLeftRight(transpose(stored)));
    case 8:
      return mirrorTopBottom(transpose(stored));  // a quarter turn anticlockwise
    default:
      return stored;
  }
}

RgbImage sampled(const RgbImage& a, std::int32_t width, std::int32_t height) {
  return mapped(a, width, height, [&](auto x, auto y) {
    return std::pair(nearestSourceIndex(x, width, a.width),
                     nearestSourceIndex(y, height, a.height));
  });
}

class Orientation : public ::testing::TestWithParam<int> {};

TEST_P(Orientation, OutputIsTheDisplayedPictureSampled) {
  const int orientation = GetParam();
  EncodeOptions options;
  options.exifOrientation = orientation;
  const std::vector<unsigned char> jpeg = encodeJpeg(45, 31, options);
  const RgbImage shown = displayed(fullDecode(jpeg), orientation);
  for (const auto& [width, height] :
       {std::pair(shown.width, shown.height), std::pair(17, 11), std::pair(5, 23)}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    const RgbImage got = decodeTo(jpeg, orientation, width, height, RowPassing::Skip);
    EXPECT_EQ(got.pixels, sampled(shown, width, height).pixels);
  }
}

INSTANTIATE_TEST_SUITE_P(AllEight, Orientation, ::testing::Range(1, 9));

struct SourceKind {
  const char* name;
  EncodeOptions options;
};
std::ostream& operator<<(std::ostream& out, const SourceKind& k) { return out << k.name; }

EncodeOptions sampling(int h, int v) {
  EncodeOptions o;
  o.lumaH = h;
  o.lumaV = v;
  return o;
}
EncodeOptions progressive(int h, int v) {
  EncodeOptions o = sampling(h, v);
  o.progressive = true;
  return o;
}
EncodeOptions restarts(int h, int v, int interval) {
  EncodeOptions o = sampling(h, v);
  o.restartInterval = interval;
  return o;
}
EncodeOptions colours(FileColours c) {
  EncodeOptions o;
  o.colours = c;
  return o;
}

class RowSkipping : public ::testing::TestWithParam<SourceKind> {};

// Passing over rows the sampler does not take must not change a single byte of the rows it
// does take, whatever the layout of the file.
TEST_P(RowSkipping, GivesTheSameBytesAsDecodingEveryRow) {
  const std::vector<unsigned char> jpeg = encodeJpeg(301, 203, GetParam().options);
  for (const auto& [width, height] :
       {std::pair(37, 25), std::pair(100, 67), std::pair(301, 9), std::pair(12, 203),
        std::pair(1, 1), std::pair(150, 101), std::pair(40, 190)}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    EXPECT_EQ(decodeTo(jpeg, 1, width, height, RowPassing::Skip).pixels,
              decodeTo(jpeg, 1, width, height, RowPassing::DecodeAll).pixels);
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, RowSkipping,
                         ::testing::Values(SourceKind{"S444", sampling(1, 1)},
                                           SourceKind{"S422", sampling(2, 1)},
                                           SourceKind{"S420", sampling(2, 2)},
                                           SourceKind{"S440", sampling(1, 2)},
                                           SourceKind{"S411", sampling(4, 1)},
                                           SourceKind{"Progressive420", progressive(2, 2)},
                                           SourceKind{"Progressive444", progressive(1, 1)},
                                           SourceKind{"Restarts420", restarts(2, 2, 3)},
                                           SourceKind{"Restarts422", restarts(2, 1, 1)},
                                           SourceKind{"RgbCoded", colours(FileColours::Rgb)},
                                           SourceKind{"Cmyk", colours(FileColours::Cmyk)},
                                           SourceKind{"Ycck", colours(FileColours::Ycck)},
                                           SourceKind{"Grey", colours(FileColours::Grey)}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SpreadCase {
  std::int32_t destination, source;
  std::vector<std::int32_t> indices;
};

TEST(NearestSourceIndex, SpreadsSamplesEvenlyWithEqualMargins) {
  const SpreadCase cases[] = {{4, 4, {0, 1, 2, 3}},      // same size: every sample once
                              {1, 9, {4}},               // one sample: the middle
                              {3, 10, {1, 5, 8}},        // margins of one or two at both ends
                              {2, 4, {1, 3}},            // halving takes every second sample
                              {4, 2, {0, 0, 1, 1}},      // growing repeats each sample
                              {5, 3, {0, 0, 1, 2, 2}}};  // the middle one once, the ends twice
  for (const SpreadCase& c : cases) {
    std::vector<std::int32_t> got;
    for (std::int32_t i = 0; i < c.destination; ++i) {
      got.push_back(nearestSourceIndex(i, c.destination, c.source));
    }
    EXPECT_EQ(got, c.indices) << c.destination << " over " << c.source;
  }
  // 64-bit products: the largest sides do not overflow.
  EXPECT_EQ(nearestSourceIndex(65499, 65500, 65500), 65499);
  EXPECT_EQ(nearestSourceIndex(999, 1000, 65500), 65467);
}

}  // namespace
}  // namespace velmora
