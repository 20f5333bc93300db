// Sources of every colour layout, damaged sources and sources that claim huge pictures.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "core/errors.h"
#include "core/thumbnail/preview.h"
#include "core/thumbnail/thumbnail_writer.h"
#include "decoder_budget.h"
#include "jpeg_fixtures.h"
#include "sanitizers.h"

namespace velmora {
namespace {

using testing::testMemory;

using testing::encodeJpeg;
using testing::EncodeOptions;
using testing::encodeSamples;
using testing::FileColours;
using testing::TempFolder;
using testing::testSamples;
using testing::writeBytes;

// The decoded pixels, from a preview area the picture fits in.
RgbImage decoded(const std::vector<unsigned char>& jpeg) {
  TempFolder folder;
  writeBytes(folder.file("s.jpg"), jpeg);
  return loadPreview(folder.file("s.jpg"), 10000, 10000, testMemory()).picture;
}

double meanDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  EXPECT_EQ(a.size(), b.size());
  double sum = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) sum += std::abs(a[i] - b[i]);
  return sum / static_cast<double>(a.size());
}

EncodeOptions coded(FileColours colours) {
  EncodeOptions o;
  o.colours = colours;
  o.quality = 95;
  o.lumaH = o.lumaV = 1;
  return o;
}

TEST(SourceKinds, GreyscaleGivesGreyPixelsFromThe236LevelTable) {
  std::set<int> levels;
  for (int j = 0; j < 236; ++j) levels.insert((j * 255 + 117) / 235);
  const RgbImage picture = decoded(encodeJpeg(97, 61, coded(FileColours::Grey)));
  std::set<int> seen;
  for (std::size_t i = 0; i < picture.pixels.size(); i += 3) {
    ASSERT_EQ(picture.pixels[i], picture.pixels[i + 1]);
    ASSERT_EQ(picture.pixels[i], picture.pixels[i + 2]);
    seen.insert(picture.pixels[i]);
  }
  for (int value : seen) EXPECT_EQ(levels.count(value), 1u) << value;
  EXPECT_GT(seen.size(), 100u);  // dithered, not posterised
}

// Four-component files hold inverted CMYK (as Adobe software writes it); with no black ink,
// the stored values are the red, green and blue of the picture.
TEST(SourceKinds, CmykAndYcckGiveTheColoursOfTheRgbPicture) {
  const std::vector<unsigned char> rgb = testSamples(80, 48, 3);
  std::vector<unsigned char> inks;
  for (std::size_t i = 0; i < rgb.size(); i += 3) {
    inks.insert(inks.end(), {rgb[i], rgb[i + 1], rgb[i + 2], 255});
  }
  for (FileColours colours : {FileColours::Cmyk, FileColours::Ycck}) {
    const RgbImage picture = decoded(encodeSamples(inks, 80, 48, coded(colours)));
    EXPECT_LT(meanDifference(picture.pixels, rgb), 4.0) << static_cast<int>(colours);
  }
}

TEST(SourceKinds, RgbCodedFileGivesTheSameColoursAsYCbCr) {
  const std::vector<unsigned char> rgb = testSamples(80, 48, 3);
  const RgbImage plain = decoded(encodeSamples(rgb, 80, 48, coded(FileColours::YCbCr)));
  const RgbImage untransformed = decoded(encodeSamples(rgb, 80, 48, coded(FileColours::Rgb)));
  EXPECT_LT(meanDifference(plain.pixels, rgb), 4.0);
  EXPECT_LT(meanDifference(untransformed.pixels, rgb), 4.0);
}

TEST(SourceKinds, CutOffFileIsMadeWithMidGreyBelowTheCut) {
  std::vector<unsigned char> jpeg = encodeJpeg(64, 64);
  jpeg.resize(jpeg.size() / 2);
  TempFolder folder;
  writeBytes(folder.file("cut.jpg"), jpeg);
  const ThumbnailRequest request{
      folder.file("cut.jpg"), folder.file("t.jpg"), {SizingMode::Rate, 50, 0, 0}};
  EXPECT_EQ(makeThumbnailFile(request, testMemory()),
            successLine(request.sourcePath, request.destinationPath));
  const RgbImage picture = decoded(jpeg);
  const std::size_t lastRow = picture.rowBytes() * (picture.height - 1);
  for (std::size_t i = lastRow; i < picture.pixels.size(); ++i) {
    ASSERT_EQ(picture.pixels[i], 128) << i;
  }
}

// A frame header claiming 65000 x 65000 pixels over a few bytes of data.
std::vector<unsigned char> claimingHugeSize(const EncodeOptions& options) {
  std::vector<unsigned char> jpeg = encodeJpeg(16, 16, options);
  for (std::size_t i = 2; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
      for (std::size_t at : {i + 5, i + 7}) {
        jpeg[at] = 65000 >> 8;
        jpeg[at + 1] = 65000 & 0xFF;
      }
      break;
    }
  }
  return jpeg;
}

// Runs the request in a child process whose address space is capped well below the claimed
// picture's size, so that memory in proportion to the source fails the test instead of the
// machine.
int exitCodeWithCappedMemory(const ThumbnailRequest& request) {
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit cap{256u << 20, 256u << 20};
    ::setrlimit(RLIMIT_AS, &cap);
    try {
      makeThumbnailFile(request, testMemory());
      std::_Exit(0);
    } catch (const EJPEG& e) {
      std::_Exit(e.code() == 49 ? 2 : 3);
    } catch (...) {
      std::_Exit(4);
    }
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SourceKinds, HugeClaimedPictureNeedsNoMemoryInProportion) {
  if (!testing::kAddressSpaceCanBeCapped) GTEST_SKIP() << testing::kNoCapUnderSanitizer;
  TempFolder folder;
  writeBytes(folder.file("huge.jpg"), claimingHugeSize({}));
  const ThumbnailRequest fit{
      folder.file("huge.jpg"), folder.file("t.jpg"), {SizingMode::Fit, 0, 200, 200}};
  EXPECT_EQ(exitCodeWithCappedMemory(fit), 0);

  // Progressive files need every coefficient at once: the library's memory limit ends them.
  EncodeOptions progressive;
  progressive.progressive = true;
  writeBytes(folder.file("hugep.jpg"), claimingHugeSize(progressive));
  const ThumbnailRequest fitProgressive{
      folder.file("hugep.jpg"), folder.file("tp.jpg"), {SizingMode::Fit, 0, 200, 200}};
  EXPECT_EQ(exitCodeWithCappedMemory(fitProgressive), 2);
}

// Sources are streams: bytes after the picture, or a huge file that is no JPEG at all, are
// never held in memory, and a read that fails is the read error, not a codec error.
TEST(SourceKinds, SourceIsReadAsAStream) {
  if (!testing::kAddressSpaceCanBeCapped) GTEST_SKIP() << testing::kNoCapUnderSanitizer;
  TempFolder folder;
  const std::string trailed = folder.file("trailed.jpg");
  writeBytes(trailed, encodeJpeg(64, 48));
  std::filesystem::resize_file(trailed, 1ull << 30);
  EXPECT_EQ(exitCodeWithCappedMemory({trailed, folder.file("t.jpg"), {SizingMode::Rate, 50, 0, 0}}),
            0);

  const std::string zeros = folder.file("zeros.jpg");
  writeBytes(zeros, {});
  std::filesystem::resize_file(zeros, 1ull << 30);
  try {
    makeThumbnailFile({zeros, folder.file("z.jpg"), {SizingMode::Rate, 50, 0, 0}}, testMemory());
    ADD_FAILURE() << "a file of zeros was made";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.code(), 53);
  }

  // Reading a process's own memory at address 0 fails with an I/O error.
  try {
    makeThumbnailFile({"/proc/self/mem", folder.file("m.jpg"), {SizingMode::Rate, 50, 0, 0}},
                      testMemory());
    ADD_FAILURE() << "an unreadable file was made";
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
}

// Real-world files of odd kinds, when the folder of them is beside the project.
TEST(SourceKinds, EveryCorpusFileGivesAThumbnailOrItsError) {
  const std::string corpus = VELMORA_CORPUS_DIR;
  const std::set<std::string> names = testing::folderEntries(corpus);
  if (names.empty()) GTEST_SKIP() << "no corpus at " << corpus;
  const std::map<std::string, int> expectedErrors = {{"testimgari.jpg", 1}, {"monkey12.jpg", 15}};
  TempFolder out;
  int made = 0;
  for (const std::string& name : names) {
    if (name.size() < 4 || name.substr(name.size() - 4) != ".jpg") continue;
    SCOPED_TRACE(name);
    const ThumbnailRequest request{
        corpus + "/" + name, out.file(name), {SizingMode::Rate, 50, 0, 0}};
    const auto expected = expectedErrors.find(name);
    try {
      EXPECT_EQ(makeThumbnailFile(request, testMemory()),
                successLine(request.sourcePath, request.destinationPath));
      EXPECT_EQ(expected, expectedErrors.end());
      ++made;
    } catch (const EJPEG& e) {
      ASSERT_NE(expected, expectedErrors.end()) << e.what();
      EXPECT_EQ(e.code(), expected->second);
    }
  }
  EXPECT_GT(made, 0);
}

}  // namespace
}  // namespace velmora
