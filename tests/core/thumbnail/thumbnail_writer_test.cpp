#include "core/thumbnail/thumbnail_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "core/errors.h"
#include "decoder_budget.h"
#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using testing::testMemory;

using testing::decodePlain;
using testing::encodeJpeg;
using testing::EncodeOptions;
using testing::FileColours;
using testing::headerSegments;
using testing::readBytes;
using testing::Segment;
using testing::TempFolder;
using testing::writeBytes;

ThumbnailRequest rateRequest(const std::string& source, const std::string& destination, int rate) {
  return {source, destination, {SizingMode::Rate, rate, 0, 0}};
}

// The quantisation tables of ITU-T T.81 Annex K, in natural order.
constexpr int kLuminance[64] = {16,  11,  10,  16,  24, 40, 51,  61,  12,  12,  14,  19,  26,
                                58,  60,  55,  14,  13, 16, 24,  40,  57,  69,  56,  14,  17,
                                22,  29,  51,  87,  80, 62, 18,  22,  37,  56,  68,  109, 103,
                                77,  24,  35,  55,  64, 81, 104, 113, 92,  49,  64,  78,  87,
                                103, 121, 120, 101, 72, 92, 95,  98,  112, 100, 103, 99};
constexpr int kChrominance[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                  24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
constexpr int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                             12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                             35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                             58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// A DQT payload as the file holds it: table id, then the quality-90 values in zig-zag order.
std::vector<unsigned char> quality90Table(int id, const int (&base)[64]) {
  std::vector<unsigned char> table = {static_cast<unsigned char>(id)};
  for (int k = 0; k < 64; ++k) {
    table.push_back(
        static_cast<unsigned char>(std::clamp((base[kZigzag[k]] * 20 + 50) / 100, 1, 255)));
  }
  return table;
}

std::vector<unsigned char> concat(std::vector<unsigned char> a,
                                  const std::vector<unsigned char>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(ThumbnailWriter, WritesBaselineJfifWithQuality90Tables) {
  TempFolder folder;
  const std::string source = folder.file("a.jpg");
  const std::string destination = folder.file("tba.jpg");
  writeBytes(source, encodeJpeg(640, 480));

  EXPECT_EQ(makeThumbnailFile(rateRequest(source, destination, 50), testMemory()),
            "缩略图生成:" + source + "-->" + destination);

  const std::vector<unsigned char> written = readBytes(destination);
  const std::vector<Segment> segments = headerSegments(written);
  std::vector<int> markers;
  std::vector<unsigned char> tables;
  for (const Segment& s : segments) {
    markers.push_back(s.marker);
    if (s.marker == 0xDB) tables.insert(tables.end(), s.payload.begin(), s.payload.end());
  }
  // SOI, JFIF, two tables, baseline frame, four Huffman tables, the scan: nothing else.
  EXPECT_EQ(markers,
            (std::vector<int>{0xD8, 0xE0, 0xDB, 0xDB, 0xC0, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA}));
  EXPECT_EQ(segments[1].payload,
            (std::vector<unsigned char>{'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}));
  EXPECT_EQ(tables, concat(quality90Table(0, kLuminance), quality90Table(1, kChrominance)));
  // The standard Huffman tables (DC and AC, luminance then chrominance); optimised ones differ.
  std::vector<std::size_t> huffmanSizes;
  for (const Segment& s : segments) {
    if (s.marker == 0xC4) huffmanSizes.push_back(s.payload.size());
  }
  EXPECT_EQ(huffmanSizes,
            (std::vector<std::size_t>{1 + 16 + 12, 1 + 16 + 162, 1 + 16 + 12, 1 + 16 + 162}));
  const std::vector<unsigned char>& frame = segments[4].payload;
  EXPECT_EQ(frame,
            (std::vector<unsigned char>{8, 0, 240, 1, 64, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}));
  EXPECT_EQ(written[written.size() - 2], 0xFF);
  EXPECT_EQ(written.back(), 0xD9);
}

TEST(ThumbnailWriter, ReplacesAnExistingFile) {
  TempFolder folder;
  const std::string source = folder.file("a.jpg");
  const std::string destination = folder.file("tba.jpg");
  writeBytes(source, encodeJpeg(64, 48));
  writeBytes(destination, {'o', 'l', 'd'});
  makeThumbnailFile(rateRequest(source, destination, 50), testMemory());
  const RgbImage written = decodePlain(readBytes(destination));
  EXPECT_EQ(written.width, 32);
  EXPECT_EQ(written.height, 24);
}

TEST(ThumbnailWriter, RefusalLeavesTheDestinationAlone) {
  TempFolder folder;
  const std::string source = folder.file("x.jpg");
  const std::string destination = folder.file("tbx.jpg");
  writeBytes(source, {});
  EXPECT_EQ(makeThumbnailFile(rateRequest(source, destination, 50), testMemory()),
            "缩略图失败：" + source + "只能缩小！");
  EXPECT_FALSE(testing::fileExists(destination));

  writeBytes(source, encodeJpeg(640, 480));
  const ThumbnailRequest tooTall{source, destination, {SizingMode::Height, 0, 480, 0}};
  EXPECT_EQ(makeThumbnailFile(tooTall, testMemory()), refusalLine(source));
  EXPECT_FALSE(testing::fileExists(destination));
}

struct SizeCase {
  const char* name;
  int sourceWidth, sourceHeight;
  SizingRequest sizing;
  int width, height;
  int orientation = 0;
};
std::ostream& operator<<(std::ostream& out, const SizeCase& c) { return out << c.name; }

class ThumbnailSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ThumbnailSize, WritesTheDecidedSize) {
  const SizeCase& c = GetParam();
  TempFolder folder;
  const std::string source = folder.file("s.jpg");
  EncodeOptions options;
  options.exifOrientation = c.orientation;
  writeBytes(source, encodeJpeg(c.sourceWidth, c.sourceHeight, options));
  makeThumbnailFile({source, folder.file("t.jpg"), c.sizing}, testMemory());
  const RgbImage written = decodePlain(readBytes(folder.file("t.jpg")));
  EXPECT_EQ(written.width, c.width);
  EXPECT_EQ(written.height, c.height);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ThumbnailSize,
    ::testing::Values(
        SizeCase{"ZeroSideRaisedToOne", 3000, 2, {SizingMode::Rate, 10, 0, 0}, 300, 1},
        SizeCase{"BothSidesZero", 1, 1, {SizingMode::Rate, 40, 0, 0}, 1, 1},
        SizeCase{"OnePixelTallSource", 50, 1, {SizingMode::Width, 0, 0, 20}, 20, 1},
        SizeCase{"Distorted", 640, 480, {SizingMode::HeightAndWidth, 0, 100, 100}, 100, 100},
        SizeCase{"FitPortrait", 300, 400, {SizingMode::Fit, 0, 100, 100}, 75, 100},
        SizeCase{"SameSizeCopy", 33, 17, {SizingMode::Rate, 100, 0, 0}, 33, 17},
        SizeCase{"TurnedPictureSizedAsShown", 400, 300, {SizingMode::Fit, 0, 100, 100}, 75, 100, 6},
        SizeCase{
            "TurnedHeightTestedAsShown", 400, 300, {SizingMode::Height, 0, 350, 0}, 262, 350, 8},
        SizeCase{"MirroredKeepsSides", 400, 300, {SizingMode::Fit, 0, 100, 100}, 100, 75, 4}),
    [](const auto& info) { return std::string(info.param.name); });

// Some photos carry megabytes of APP1 blocks (XMP), which the decoder keeps; its memory share
// must count them.
TEST(ThumbnailWriter, ProgressiveFileWithMegabytesOfAppBlocksIsDecoded) {
  TempFolder folder;
  EncodeOptions options;
  options.progressive = true;
  const std::vector<unsigned char> plain = encodeJpeg(512, 384, options);
  std::vector<unsigned char> file(plain.begin(), plain.begin() + 2);
  const std::vector<unsigned char> block = {0xFF, 0xE1, 0xFF, 0xFF};
  for (int i = 0; i < 100; ++i) {
    file.insert(file.end(), block.begin(), block.end());
    file.insert(file.end(), 0xFFFF - 2, 'x');
  }
  file.insert(file.end(), plain.begin() + 2, plain.end());
  writeBytes(folder.file("a.jpg"), file);
  for (SamplingFilter filter : {SamplingFilter::Nearest, SamplingFilter::Area}) {
    ThumbnailRequest request = rateRequest(folder.file("a.jpg"), folder.file("t.jpg"), 50);
    request.filter = filter;
    EXPECT_EQ(decodePlain(renderThumbnail(request, DecodeLimits{testMemory()}).outputs.front().jpeg)
                  .width,
              256);
  }
}

TEST(ThumbnailWriter, MissingSourceCannotBeOpened) {
  TempFolder folder;
  const std::string source = folder.file("gone.jpg");
  try {
    renderThumbnail(rateRequest(source, folder.file("t.jpg"), 50), DecodeLimits{testMemory()});
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + source + "\". No such file or directory");
  }
}

TEST(ThumbnailWriter, DestinationInAMissingFolderCannotBeCreated) {
  TempFolder folder;
  const std::string source = folder.file("a.jpg");
  const std::string destination = folder.file("nowhere/tba.jpg");
  writeBytes(source, encodeJpeg(64, 48));
  try {
    makeThumbnailFile(rateRequest(source, destination, 50), testMemory());
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create file \"" + destination + "\". No such file or directory");
  }
}

}  // namespace
}  // namespace velmora
