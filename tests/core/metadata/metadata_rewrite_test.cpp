#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/image/exif_orientation.h"
#include "core/image/tiff_reader.h"
#include "core/metadata/exif_rewrite.h"
#include "core/metadata/xmp_rewrite.h"
#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using testing::Bytes;
using testing::cameraExifPayload;

// The entries of a rewritten block, read back: directories by the pointer tags leading to them
// from IFD0 (none for IFD0 itself).
class ExifEntries {
 public:
  explicit ExifEntries(const Bytes& payload) : tiff_(payload.data() + 6, payload.size() - 6) {
    EXPECT_TRUE(tiff_.readByteOrder());
  }

  std::uint32_t nextAfterFirst() const {
    const std::uint32_t ifd0 = tiff_.u32(4);
    return tiff_.u32(ifd0 + 2 + 12 * tiff_.u16(ifd0));
  }

  // The entry's offset, or nothing.
  std::optional<std::uint32_t> find(std::vector<std::uint16_t> path, std::uint16_t tag) const {
    std::uint32_t ifd = tiff_.u32(4);
    for (std::uint16_t pointer : path) {
      const std::optional<std::uint32_t> entry = findIn(ifd, pointer);
      if (!entry) return std::nullopt;
      ifd = tiff_.u32(*entry + 8);
    }
    return findIn(ifd, tag);
  }

  std::optional<std::uint32_t> number(std::vector<std::uint16_t> path, std::uint16_t tag) const {
    const std::optional<std::uint32_t> entry = find(std::move(path), tag);
    if (!entry) return std::nullopt;
    return tiff_.u16(*entry + 2) == 3 ? tiff_.u16(*entry + 8) : tiff_.u32(*entry + 8);
  }

  // The bytes of an entry's value held outside the entry.
  std::string text(std::vector<std::uint16_t> path, std::uint16_t tag) const {
    const std::optional<std::uint32_t> entry = find(std::move(path), tag);
    if (!entry) return "";
    const std::uint32_t count = tiff_.u32(*entry + 4);
    const unsigned char* at = count > 4 ? tiff_.at(tiff_.u32(*entry + 8)) : tiff_.at(*entry + 8);
    return std::string(at, at + count);
  }

 private:
  std::optional<std::uint32_t> findIn(std::uint32_t ifd, std::uint16_t tag) const {
    for (std::uint32_t i = 0; i < tiff_.u16(ifd); ++i) {
      const std::uint32_t entry = ifd + 2 + 12 * i;
      if (tiff_.u16(entry) == tag) return entry;
    }
    return std::nullopt;
  }

  TiffReader tiff_;
};

constexpr std::uint16_t kExif = 0x8769;
constexpr std::uint16_t kGps = 0x8825;

TEST(ExifRewrite, ThumbnailsExifIsUprightSizedWithoutEmbeddedThumbnailOrLocation) {
  for (bool littleEndian : {true, false}) {
    SCOPED_TRACE(littleEndian ? "II" : "MM");
    const Bytes source = cameraExifPayload(littleEndian);
    for (bool keepLocation : {false, true}) {
      const RewrittenBlock r = rewriteExif(source.data(), source.size(), {300, 200, keepLocation});
      ASSERT_TRUE(r.warning.empty()) << r.warning;
      const ExifEntries e(r.payload);
      EXPECT_EQ(exifOrientation(r.payload.data(), r.payload.size()), 1);
      EXPECT_EQ(e.number({}, 0x0100), 300u);
      EXPECT_EQ(e.number({}, 0x0101), 200u);
      EXPECT_EQ(e.number({kExif}, 0xA002), 300u);
      EXPECT_EQ(e.number({kExif}, 0xA003), 200u);
      EXPECT_EQ(e.nextAfterFirst(), 0u) << "no IFD1";
      const Bytes thumbnailBytes(16, 0xAB);
      EXPECT_EQ(std::search(r.payload.begin(), r.payload.end(), thumbnailBytes.begin(),
                            thumbnailBytes.end()),
                r.payload.end());
      EXPECT_EQ(e.text({}, 0x010F), std::string("Velmora Camera", 15));
      EXPECT_EQ(e.text({kExif}, 0x927C), std::string(40, 0x5A));
      EXPECT_EQ(e.text({kExif, 0xA005}, 0x0001), std::string("R03", 4));
      EXPECT_EQ(e.number({kExif}, 0xA001), 0xFFFFu);
      EXPECT_EQ(e.find({}, kGps).has_value(), keepLocation);
      EXPECT_EQ(e.text({kGps}, 0x0001), keepLocation ? std::string("N", 2) : "");
    }
  }
}

// Colours converted into sRGB are no longer the Adobe RGB the camera said.
TEST(ExifRewrite, ColoursMadeSrgbSaySo) {
  const Bytes source = cameraExifPayload(true);
  const RewrittenBlock r = rewriteExif(source.data(), source.size(), {300, 200, false, true});
  const ExifEntries e(r.payload);
  EXPECT_EQ(e.text({kExif, 0xA005}, 0x0001), std::string("R98", 4));
  EXPECT_EQ(e.number({kExif}, 0xA001), 1u);
}

TEST(ExifRewrite, UnreadableBlocksAreLeftOutWithAWarning) {
  Bytes cut = cameraExifPayload(true);
  cut.resize(cut.size() - 20);
  Bytes exifAtIfd0 = cameraExifPayload(false);
  // IFD0's EXIF pointer (its fifth entry's value) turned back at IFD0 itself.
  const std::size_t ifd0 =
      6 + (exifAtIfd0[10] << 24 | exifAtIfd0[11] << 16 | exifAtIfd0[12] << 8 | exifAtIfd0[13]);
  std::copy(exifAtIfd0.begin() + 10, exifAtIfd0.begin() + 14,
            exifAtIfd0.begin() + static_cast<long>(ifd0 + 2 + 4 * 12 + 8));
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"loop", testing::exifLoop()},
      {"out of range", testing::exifOutOfRange()},
      {"bad first directory", testing::exifBadFirstDirectory()},
      {"cut", cut},
      {"pointer back at IFD0", exifAtIfd0},
      {"not TIFF", {'E', 'x', 'i', 'f', 0, 0, 'I', 'M', 42, 0, 8, 0, 0, 0}},
  };
  for (const auto& [name, payload] : cases) {
    const RewrittenBlock r = rewriteExif(payload.data(), payload.size(), {300, 200, true});
    EXPECT_TRUE(r.payload.empty()) << name;
    EXPECT_EQ(r.warning, "EXIF left out: it cannot be read") << name;
  }
}

std::string rewrittenXmp(const std::string& packet, bool coloursMadeSrgb = false) {
  std::string payload = std::string("http://ns.adobe.com/xap/1.0/", 29) + packet;
  const RewrittenBlock r = rewriteXmp(reinterpret_cast<const unsigned char*>(payload.data()),
                                      payload.size(), 300, 200, coloursMadeSrgb);
  if (r.payload.empty()) return r.warning;
  EXPECT_EQ(std::string(r.payload.begin(), r.payload.begin() + 29), payload.substr(0, 29));
  return std::string(r.payload.begin() + 29, r.payload.end());
}

TEST(XmpRewrite, OrientationAndSidesAreTheThumbnailsInBothForms) {
  const std::pair<std::string, std::string> cases[] = {
      {R"(<rdf:Description tiff:Orientation="6" tiff:ImageWidth='4000' tiff:ImageLength = "3000"
 exif:PixelXDimension="4000" exif:PixelYDimension="3000" xtiff:Orientation="6"/>)",
       R"(<rdf:Description tiff:Orientation="1" tiff:ImageWidth='300' tiff:ImageLength = "200"
 exif:PixelXDimension="300" exif:PixelYDimension="200" xtiff:Orientation="6"/>)"},
      {"<tiff:Orientation>8</tiff:Orientation><exif:PixelXDimension>4000</exif:PixelXDimension>"
       "<tiff:OrientationX>8</tiff:OrientationX><dc:title>tiff:Orientation 8</dc:title>",
       "<tiff:Orientation>1</tiff:Orientation><exif:PixelXDimension>300</exif:PixelXDimension>"
       "<tiff:OrientationX>8</tiff:OrientationX><dc:title>tiff:Orientation 8</dc:title>"},
      {"<x:xmpmeta>no such properties</x:xmpmeta>", "<x:xmpmeta>no such properties</x:xmpmeta>"},
      {"cut <tiff:Orientation>6", "cut <tiff:Orientation>6"},
      {"cut tiff:Orientation=\"6", "cut tiff:Orientation=\"6"},
      {std::string(70000, ' '),
       "XMP left out: it does not fit one segment (extended XMP is never kept)"},
  };
  for (const auto& [packet, expected] : cases) {
    EXPECT_EQ(rewrittenXmp(packet), expected) << packet.substr(0, 80);
  }
  // Colours converted into sRGB are no longer those the packet names.
  const std::string tagged =
      "<rdf:Description exif:ColorSpace=\"65535\" photoshop:ICCProfile=\"Adobe RGB (1998)\"/>";
  EXPECT_EQ(rewrittenXmp(tagged), tagged);
  EXPECT_EQ(rewrittenXmp(tagged, true),
            "<rdf:Description exif:ColorSpace=\"1\" photoshop:ICCProfile=\"sRGB IEC61966-2.1\"/>");
}

}  // namespace
}  // namespace velmora
