// A file's cost follows its real picture, not what its bytes claim: scans, markers and turned
// pictures are bounded through the decoder budget, and a run's stop ends a decode.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/jpeg/decoder_memory.h"
#include "core/thumbnail/preview.h"
#include "core/thumbnail/thumbnail_writer.h"
#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using testing::Bytes;
using testing::encodeJpeg;
using testing::EncodeOptions;

constexpr std::uint64_t kMiB = 1 << 20;

Bytes segment(unsigned char marker, const Bytes& payload) {
  const std::size_t length = payload.size() + 2;
  Bytes bytes(length + 2);
  bytes[0] = 0xFF;
  bytes[1] = marker;
  bytes[2] = static_cast<unsigned char>(length >> 8);
  bytes[3] = static_cast<unsigned char>(length & 0xFF);
  std::copy(payload.begin(), payload.end(), bytes.begin() + 4);
  return bytes;
}

// `count` scans of the first component's AC coefficients holding no data, before the end.
Bytes withEmptyScans(Bytes jpeg, int count) {
  const Bytes scan = segment(0xDA, {1, 1, 0x00, 1, 63, 0});
  jpeg.resize(jpeg.size() - 2);
  for (int i = 0; i < count; ++i) jpeg.insert(jpeg.end(), scan.begin(), scan.end());
  jpeg.push_back(0xFF);
  jpeg.push_back(0xD9);
  return jpeg;
}

// `megabytes` of APP1 segments behind the file's own markers.
Bytes withApp1Padding(Bytes jpeg, int megabytes) {
  const Bytes padding = segment(0xE1, Bytes(0xFFFF - 2, 'x'));
  const auto count = static_cast<std::size_t>(megabytes) * kMiB / padding.size();
  Bytes padded(jpeg.begin(), jpeg.begin() + 2);
  for (std::size_t i = 0; i < count; ++i)
    padded.insert(padded.end(), padding.begin(), padding.end());
  padded.insert(padded.end(), jpeg.begin() + 2, jpeg.end());
  return padded;
}

Bytes progressive(int width, int height) {
  EncodeOptions options;
  options.progressive = true;
  return encodeJpeg(width, height, options);
}

Bytes orientedHeader(int orientation, unsigned side) {
  EncodeOptions options;
  options.exifOrientation = orientation;
  return testing::withFrameSize(encodeJpeg(64, 48, options), side, side);
}

enum class Entry { Nearest, Area, Preview };

struct BoundedCase {
  std::string name;
  std::function<Bytes()> file;
  std::uint64_t budget;
  int expectedCode;  // 0: a thumbnail is made
};

// The outcome through one of the three decodes that read a user's file.
int outcome(const std::string& path, Entry entry, DecoderMemoryBudget& memory) {
  try {
    if (entry == Entry::Preview) {
      loadPreview(path, 179, 236, memory);
    } else {
      const SamplingFilter filter =
          entry == Entry::Area ? SamplingFilter::Area : SamplingFilter::Nearest;
      renderThumbnail({path, "", {SizingMode::Rate, 100, 0, 0}, filter}, DecodeLimits{memory});
    }
    return 0;
  } catch (const EJPEG& error) {
    return error.code();
  }
}

TEST(BoundedCost, AFileCostsWhatItsPictureIsNotWhatItsBytesClaim) {
  const std::vector<BoundedCase> cases = {
      {"progressive photo", [] { return progressive(320, 240); }, 64 * kMiB, 0},
      {"10,000 empty scans", [] { return withEmptyScans(progressive(320, 240), 10000); }, 64 * kMiB,
       35},
      // Its coefficient array would take 1.7 GB: refused before any of it is taken.
      {"a few kB of empty scans of a huge picture",
       [] {
         return withEmptyScans(testing::withFrameSize(progressive(64, 48), 30000, 30000), 150);
       },
       64 * kMiB, 35},
      {"20 MB of APP1 segments", [] { return withApp1Padding(encodeJpeg(64, 48), 20); }, 8 * kMiB,
       0},
      {"a 2000 x 2000 header as stored", [] { return orientedHeader(1, 2000); }, 8 * kMiB, 0},
      // Turned upright it is held whole: 12 MB, more than the whole budget.
      {"a 2000 x 2000 header turned", [] { return orientedHeader(6, 2000); }, 8 * kMiB, 49},
  };
  testing::TempFolder folder;
  for (const BoundedCase& c : cases) {
    const std::string path = folder.write("f.jpg", c.file());
    DecoderMemoryBudget memory([&] { return c.budget; });
    for (Entry entry : {Entry::Nearest, Entry::Area, Entry::Preview}) {
      // The preview's picture fits its area: only the scan limit concerns it.
      const bool previewExempt = entry == Entry::Preview && c.expectedCode == 49;
      EXPECT_EQ(outcome(path, entry, memory), previewExempt ? 0 : c.expectedCode)
          << c.name << ", entry " << static_cast<int>(entry);
    }
  }
}

// At an eighth of its size a progressive picture is made from its DC coefficients alone, and
// keeps no more of them: a claimed 8000 x 8000 picture, whose whole coefficient array would
// take 192 MB, fits in 16 MiB.
TEST(BoundedCost, AnEighthOfAProgressivePictureKeepsOneCoefficientABlock) {
  testing::TempFolder folder;
  const std::string path =
      folder.write("p.jpg", testing::withFrameSize(progressive(64, 48), 8000, 8000));
  DecoderMemoryBudget memory([] { return 16 * kMiB; });
  const SizingRequest fit{SizingMode::Fit, 0, 100, 100};
  EXPECT_NO_THROW(renderThumbnail({path, "", fit, SamplingFilter::Area}, DecodeLimits{memory}));
  try {
    renderThumbnail({path, "", fit, SamplingFilter::Nearest}, DecodeLimits{memory});
    ADD_FAILURE() << "the whole coefficient array fitted";
  } catch (const EJPEG& error) {
    EXPECT_EQ(error.code(), 49);
  }
}

TEST(BoundedCost, ARunsStopSignalEndsItsDecodes) {
  testing::TempFolder folder;
  const std::string path = folder.write("p.jpg", progressive(320, 240));
  DecoderMemoryBudget memory([] { return 64 * kMiB; });
  StopSignal stop;
  stop.raise();
  EXPECT_THROW(
      renderThumbnail({path, "", {SizingMode::Rate, 50, 0, 0}}, DecodeLimits{memory, &stop}),
      DecodeStopped);
}

TEST(BoundedCost, WorkersStartOnlyAsManyAsMemoryHoldsBesideTheDecoders) {
  DecoderMemoryBudget roomy([] { return 1024 * kMiB; });
  EXPECT_EQ(roomy.workersThatFit(8, 2 * kMiB), 8u);
  DecoderMemoryBudget tight([] { return 30 * kMiB; });
  EXPECT_EQ(tight.workersThatFit(8, 2 * kMiB), 3u);
  DecoderMemoryBudget tiny([] { return 1 * kMiB; });
  EXPECT_EQ(tiny.workersThatFit(8, 2 * kMiB), 1u);
}

}  // namespace
}  // namespace velmora
