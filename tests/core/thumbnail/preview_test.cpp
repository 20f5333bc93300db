#include "core/thumbnail/preview.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/image/nearest_sampling.h"
#include "core/jpeg/jpeg_decoder.h"
#include "core/thumbnail/sampled_decode.h"
#include "decoder_budget.h"
#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using testing::testMemory;

using testing::encodeJpeg;
using testing::EncodeOptions;
using testing::TempFolder;
using testing::writeBytes;

struct ReductionCase {
  std::int32_t areaWidth, areaHeight, width, height, reduction;
};

TEST(PreviewReduction, FollowsTheDecidingSide) {
  const ReductionCase cases[] = {{179, 236, 150, 100, 1},   // fits
                                 {179, 236, 179, 236, 1},   // fits exactly
                                 {179, 236, 1024, 768, 5},  // landscape: width decides
                                 {179, 236, 768, 1024, 4},  // portrait: height decides
                                 {179, 236, 300, 200, 1},   // truncated quotient 0 becomes 1
                                 {179, 236, 500, 500, 2},   // square pictures use the width
                                 {0, 236, 1024, 768, 1},    // a pane snapped shut
                                 {179, 0, 1024, 768, 1},
                                 {179, 236, 1, 10000, 42}};  // the narrow side may vanish
  for (const ReductionCase& c : cases) {
    EXPECT_EQ(previewReduction(c.areaWidth, c.areaHeight, c.width, c.height), c.reduction)
        << c.areaWidth << "x" << c.areaHeight << " " << c.width << "x" << c.height;
  }
}

RgbImage everyPixel(const std::vector<unsigned char>& jpeg) {
  JpegDecoder decoder(jpeg.data(), jpeg.size(), DecodeLimits{testMemory()});
  decoder.readHeader();
  const SamplingPlan plan(decoder.width(), decoder.height(), 1, decoder.width(), decoder.height());
  ImageSink sink(decoder.width(), decoder.height());
  decodeSampled(decoder, plan, sink, RowPassing::DecodeAll);
  return sink.take();
}

struct PreviewCase {
  std::int32_t width, height, areaWidth, areaHeight;
  int orientation;
  std::int32_t shownWidth, shownHeight, previewWidth, previewHeight;
};

TEST(LoadPreview, ReportsTheDisplayedSizeAndReducesByE) {
  const PreviewCase cases[] = {
      {150, 100, 179, 236, 0, 150, 100, 150, 100},  // natural size
      {1024, 768, 179, 236, 0, 1024, 768, 204, 153},
      {768, 1024, 179, 236, 0, 768, 1024, 192, 256},
      {300, 200, 179, 236, 0, 300, 200, 300, 200},  // E = 1: the whole picture, clipped
      {1024, 768, 179, 236, 6, 768, 1024, 192, 256},
      {2, 500, 179, 236, 0, 2, 500, 1, 250}};  // a side of 0 is raised to 1
  for (const PreviewCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    TempFolder folder;
    EncodeOptions options;
    options.exifOrientation = c.orientation;
    writeBytes(folder.file("p.jpg"), encodeJpeg(c.width, c.height, options));
    const Preview preview =
        loadPreview(folder.file("p.jpg"), c.areaWidth, c.areaHeight, testMemory());
    EXPECT_EQ(preview.sourceWidth, c.shownWidth);
    EXPECT_EQ(preview.sourceHeight, c.shownHeight);
    EXPECT_EQ(preview.picture.width, c.previewWidth);
    EXPECT_EQ(preview.picture.height, c.previewHeight);
    EXPECT_EQ(preview.picture.pixels.size(), 3u * c.previewWidth * c.previewHeight);
  }
}

TEST(LoadPreview, NaturalSizeShowsEveryDecodedPixel) {
  TempFolder folder;
  const std::vector<unsigned char> jpeg = encodeJpeg(150, 100);
  writeBytes(folder.file("p.jpg"), jpeg);
  EXPECT_EQ(loadPreview(folder.file("p.jpg"), 179, 236, testMemory()).picture.pixels,
            everyPixel(jpeg).pixels);
}

TEST(LoadPreview, ShutAreaReadsOnlyTheHeader) {
  // Claims 65500 x 65500 with the data of a small picture: a decode would take gigabytes.
  TempFolder folder;
  writeBytes(folder.file("huge.jpg"), testing::withFrameSize(encodeJpeg(64, 48), 65500, 65500));
  for (const auto& [areaWidth, areaHeight] : {std::pair{0, 236}, {179, 0}}) {
    const Preview preview =
        loadPreview(folder.file("huge.jpg"), areaWidth, areaHeight, testMemory());
    EXPECT_EQ(preview.sourceWidth, 65500);
    EXPECT_EQ(preview.sourceHeight, 65500);
    EXPECT_TRUE(preview.picture.pixels.empty());
  }
}

TEST(LoadPreview, EmptyFileIsAnEmptyPicture) {
  TempFolder folder;
  writeBytes(folder.file("e.jpg"), {});
  const Preview preview = loadPreview(folder.file("e.jpg"), 179, 236, testMemory());
  EXPECT_EQ(preview.sourceWidth, 0);
  EXPECT_EQ(preview.sourceHeight, 0);
  EXPECT_TRUE(preview.picture.pixels.empty());
}

TEST(LoadPreview, ErrorsAreTheWritersErrors) {
  TempFolder folder;
  EXPECT_THROW(loadPreview(folder.file("gone.jpg"), 179, 236, testMemory()), EFOpenError);
  EXPECT_THROW(loadPreview(folder.path(), 179, 236, testMemory()), EFOpenError);
  writeBytes(folder.file("x.jpg"), {'B', 'M', 0, 0});
  try {
    loadPreview(folder.file("x.jpg"), 179, 236, testMemory());
    FAIL() << "no error";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.code(), 53);
  }
}

}  // namespace
}  // namespace velmora
