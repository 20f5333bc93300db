#include "core/thumbnail/averaged_decode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/errors.h"
#include "core/thumbnail/thumbnail_writer.h"
#include "decoder_budget.h"
#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using testing::testMemory;

using testing::decodePlain;
using testing::EncodeOptions;
using testing::encodeSamples;
using testing::FileColours;
using testing::TempFolder;
using testing::writeBytes;

int componentsOf(FileColours colours) {
  return colours == FileColours::Grey ? 1 : colours == FileColours::Cmyk ? 4 : 3;
}

// Gentle waves that stay well inside 0..255, so that no decoded pixel is clipped and a block's
// mean is exactly what its DC coefficient says.
std::vector<unsigned char> smoothSamples(int width, int height, int components) {
  std::vector<unsigned char> samples;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < components; ++c) {
        const double wave = std::sin(x * 0.21 + c) * 40 + std::cos(y * 0.17 - c) * 30;
        samples.push_back(static_cast<unsigned char>(128 + wave));
      }
    }
  }
  return samples;
}

std::vector<unsigned char> decodeRows(JpegDecoder& decoder) {
  std::vector<unsigned char> rgb(static_cast<std::size_t>(decoder.outputWidth()) *
                                 decoder.outputHeight() * 3);
  for (std::int32_t y = 0; y < decoder.outputHeight(); ++y) {
    decoder.readRow(&rgb[static_cast<std::size_t>(y) * decoder.outputWidth() * 3]);
  }
  decoder.finish();
  return rgb;
}

TEST(DcScanDecode, EqualsTheBlockMeansOfTheFullDecode) {
  constexpr int kWidth = 64, kHeight = 48;
  for (FileColours colours : {FileColours::Grey, FileColours::YCbCr}) {
    SCOPED_TRACE(colours == FileColours::Grey ? "grey" : "colour");
    // In colour the three components' roundings add up through the conversion to RGB.
    const int tolerance = colours == FileColours::Grey ? 64 : 96;  // in 64ths of a level
    EncodeOptions options;
    options.colours = colours;
    options.lumaH = options.lumaV = 1;  // 4:4:4, so that every channel has 8 x 8 blocks
    options.progressive = true;
    const std::vector<unsigned char> file = encodeSamples(
        smoothSamples(kWidth, kHeight, componentsOf(colours)), kWidth, kHeight, options);

    JpegDecoder dcOnly(file.data(), file.size(), DecodeLimits{testMemory()});
    dcOnly.readHeader();
    dcOnly.start(DecodeSettings::dcScans());
    ASSERT_EQ(dcOnly.outputWidth(), kWidth / 8);
    const std::vector<unsigned char> means = decodeRows(dcOnly);

    JpegDecoder whole(file.data(), file.size(), DecodeLimits{testMemory()});
    whole.readHeader();
    whole.start(DecodeSettings::averaging(8));
    const std::vector<unsigned char> full = decodeRows(whole);

    for (int by = 0; by < kHeight / 8; ++by) {
      for (int bx = 0; bx < kWidth / 8; ++bx) {
        for (int c = 0; c < 3; ++c) {
          int sum = 0;
          for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) sum += full[((by * 8 + y) * kWidth + bx * 8 + x) * 3 + c];
          }
          const int dc = means[(by * (kWidth / 8) + bx) * 3 + c];
          EXPECT_LE(std::abs(dc * 64 - sum), tolerance) << "block " << bx << "," << by;
        }
      }
    }
  }
}

// One-pixel black and white stripes, across the picture.
std::vector<unsigned char> stripes(int width, int height, int components) {
  std::vector<unsigned char> samples;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) samples.insert(samples.end(), components, x % 2 ? 255 : 0);
  }
  return samples;
}

RgbImage areaThumbnail(const std::string& source, const SizingRequest& sizing) {
  const RenderedThumbnail rendered =
      renderThumbnail({source, "", sizing, SamplingFilter::Area}, DecodeLimits{testMemory()});
  return decodePlain(rendered.outputs.front().jpeg);
}

TEST(AreaThumbnail, StripesOfEverySourceKindAverageToFlatGrey) {
  struct Kind {
    const char* name;
    FileColours colours;
    bool progressive;
  };
  // 512 x 384 into 32 x 24: the progressive file is read from its DC scans alone.
  for (const Kind& kind :
       {Kind{"baseline", FileColours::YCbCr, false}, Kind{"progressive", FileColours::YCbCr, true},
        Kind{"grey", FileColours::Grey, false}, Kind{"cmyk", FileColours::Cmyk, false}}) {
    SCOPED_TRACE(kind.name);
    TempFolder folder;
    EncodeOptions options;
    options.colours = kind.colours;
    options.progressive = kind.progressive;
    // Four components at full resolution, as CMYK files are written.
    if (kind.colours == FileColours::Cmyk) options.lumaH = options.lumaV = 1;
    writeBytes(folder.file("s.jpg"),
               encodeSamples(stripes(512, 384, componentsOf(kind.colours)), 512, 384, options));
    const SizingRequest sizing{SizingMode::HeightAndWidth, 0, 24, 32};
    const RgbImage thumbnail = areaThumbnail(folder.file("s.jpg"), sizing);
    ASSERT_EQ(thumbnail.width, 32);
    ASSERT_EQ(thumbnail.height, 24);
    for (unsigned char value : thumbnail.pixels) ASSERT_LT(std::abs(value - 128), 8);
  }
}

TEST(AreaThumbnail, TurnsAsTheDefaultModeDoesForEveryOrientation) {
  // Four flat quadrants of different colours: any turn or mirror shows.
  constexpr int kWidth = 320, kHeight = 240;
  std::vector<unsigned char> samples;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const int quadrant = (y >= kHeight / 2) * 2 + (x >= kWidth / 2);
      const unsigned char colours[4][3] = {
          {200, 40, 40}, {40, 200, 40}, {40, 40, 200}, {220, 220, 220}};
      samples.insert(samples.end(), colours[quadrant], colours[quadrant] + 3);
    }
  }
  for (int orientation = 1; orientation <= 8; ++orientation) {
    SCOPED_TRACE(orientation);
    TempFolder folder;
    EncodeOptions options;
    options.exifOrientation = orientation;
    writeBytes(folder.file("q.jpg"), encodeSamples(samples, kWidth, kHeight, options));
    const SizingRequest sizing{SizingMode::Fit, 0, 40, 40};
    const RgbImage area = areaThumbnail(folder.file("q.jpg"), sizing);
    const RgbImage nearest =
        decodePlain(renderThumbnail({folder.file("q.jpg"), "", sizing}, DecodeLimits{testMemory()})
                        .outputs.front()
                        .jpeg);
    ASSERT_EQ(area.width, nearest.width);
    ASSERT_EQ(area.height, nearest.height);
    long difference = 0;
    for (std::size_t k = 0; k < area.pixels.size(); ++k) {
      difference += std::abs(area.pixels[k] - nearest.pixels[k]);
    }
    EXPECT_LT(difference / static_cast<long>(area.pixels.size()), 4);
  }
}

// The start of the last scan's header: in a progressive file an AC scan.
std::size_t lastScanHeader(const std::vector<unsigned char>& file) {
  for (std::size_t i = file.size() - 2; i > 0; --i) {
    if (file[i] == 0xFF && file[i + 1] == 0xDA) return i;
  }
  return 0;
}

// The file with its last scan reaching past coefficient 63: a fatal error for any decoder that
// reads that scan.
std::vector<unsigned char> withUnreadableLastScan(std::vector<unsigned char> file) {
  const std::size_t scan = lastScanHeader(file);
  const std::size_t components = file[scan + 4];
  file[scan + 5 + 2 * components + 1] = 64;
  return file;
}

TEST(AreaThumbnail, ProgressiveFileIsNotReadBeyondItsDcScans) {
  TempFolder folder;
  EncodeOptions options;
  options.progressive = true;
  writeBytes(folder.file("d.jpg"),
             withUnreadableLastScan(encodeSamples(smoothSamples(512, 384, 3), 512, 384, options)));
  const SizingRequest sizing{SizingMode::HeightAndWidth, 0, 24, 32};
  EXPECT_THROW(renderThumbnail({folder.file("d.jpg"), "", sizing}, DecodeLimits{testMemory()}),
               EJPEG);
  EXPECT_EQ(areaThumbnail(folder.file("d.jpg"), sizing).width, 32);
}

// At 2/8 a progressive file gives up its AC refinement scans and the luma band past
// coefficient 5: the last scan, a refinement, is never read (the default mode fails on it), and
// the thumbnail stays within a few levels of the same picture stored baseline, whose
// coefficients are the same and all read.
TEST(AreaThumbnail, ProgressiveFileAtAQuarterReadsFirstPassesAlone) {
  constexpr int kWidth = 512, kHeight = 384;
  TempFolder folder;
  EncodeOptions options;
  const std::vector<unsigned char> samples = testing::testSamples(kWidth, kHeight, 3);
  writeBytes(folder.file("b.jpg"), encodeSamples(samples, kWidth, kHeight, options));
  options.progressive = true;
  writeBytes(folder.file("p.jpg"),
             withUnreadableLastScan(encodeSamples(samples, kWidth, kHeight, options)));
  // 512 / 8 = 64 falls short of twice 48, 512 / 4 = 128 does not: scale 2/8.
  const SizingRequest sizing{SizingMode::HeightAndWidth, 0, 36, 48};
  EXPECT_THROW(renderThumbnail({folder.file("p.jpg"), "", sizing}, DecodeLimits{testMemory()}),
               EJPEG);
  const RgbImage baseline = areaThumbnail(folder.file("b.jpg"), sizing);
  const RgbImage progressive = areaThumbnail(folder.file("p.jpg"), sizing);
  ASSERT_EQ(progressive.pixels.size(), baseline.pixels.size());
  long difference = 0;
  int largest = 0;
  for (std::size_t k = 0; k < baseline.pixels.size(); ++k) {
    const int d = std::abs(progressive.pixels[k] - baseline.pixels[k]);
    difference += d;
    largest = std::max(largest, d);
  }
  EXPECT_LT(difference, 2 * static_cast<long>(baseline.pixels.size()));  // noise, the worst case
  EXPECT_LE(largest, 12);
}

}  // namespace
}  // namespace velmora
