// Tagged photos through the whole thumbnail path: wide-gamut sources come out in sRGB, sources
// that are sRGB already come out exactly as the window makes them, keep embeds the profile, and
// a damaged profile costs a warning, never the thumbnail.

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "core/thumbnail/thumbnail_writer.h"
#include "decoder_budget.h"
#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using testing::Bytes;
using testing::decodePlain;
using testing::EncodeOptions;
using testing::encodeSamples;
using testing::headerSegments;
using testing::Segment;
using testing::TempFolder;
using testing::testMemory;

constexpr int kWidth = 256;
constexpr int kHeight = 192;
const unsigned char kIccSignature[] = "ICC_PROFILE";  // with its end byte, as the file holds it

// Smooth saturated gradients, where a wrong colour space shows most.
Bytes srgbSamples() {
  Bytes samples;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      samples.push_back(static_cast<unsigned char>(x * 255 / (kWidth - 1)));
      samples.push_back(static_cast<unsigned char>(y * 255 / (kHeight - 1)));
      samples.push_back(static_cast<unsigned char>(255 - (x + y) * 255 / (kWidth + kHeight)));
    }
  }
  return samples;
}

Bytes profileBytes(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  Bytes bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  return bytes;
}

Bytes rgbProfile(const cmsCIExyYTRIPLE& primaries, double gamma) {
  const cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
  cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  Bytes bytes = profileBytes(cmsCreateRGBProfile(&d65, &primaries, curves));
  cmsFreeToneCurve(curve);
  return bytes;
}

const Bytes& displayP3() {
  static const Bytes bytes =
      rgbProfile({{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}, 2.2);
  return bytes;
}

const Bytes& adobeRgb() {
  static const Bytes bytes =
      rgbProfile({{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}}, 563.0 / 256);
  return bytes;
}

const Bytes& srgbProfile() {
  static const Bytes bytes = profileBytes(cmsCreate_sRGBProfile());
  return bytes;
}

// The sRGB samples as the profile's numbers.
Bytes converted(const Bytes& samples, const Bytes& profile) {
  cmsHPROFILE from = cmsCreate_sRGBProfile();
  cmsHPROFILE to =
      cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
  cmsHTRANSFORM transform =
      cmsCreateTransform(from, TYPE_RGB_8, to, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
  Bytes out(samples.size());
  cmsDoTransform(transform, samples.data(), out.data(),
                 static_cast<cmsUInt32Number>(samples.size() / 3));
  cmsDeleteTransform(transform);
  cmsCloseProfile(from);
  cmsCloseProfile(to);
  return out;
}

// The profile as APP2 segments of `chunk` bytes each, after SOI and the JFIF header.
Bytes tagged(const Bytes& jpeg, const Bytes& profile, std::size_t chunk = 300) {
  Bytes segments;
  const std::size_t count = (profile.size() + chunk - 1) / chunk;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t size = std::min(chunk, profile.size() - i * chunk);
    const std::size_t length = 2 + sizeof kIccSignature + 2 + size;
    segments.insert(segments.end(), {0xFF, 0xE2, static_cast<unsigned char>(length >> 8),
                                     static_cast<unsigned char>(length & 0xFF)});
    segments.insert(segments.end(), kIccSignature, kIccSignature + sizeof kIccSignature);
    segments.push_back(static_cast<unsigned char>(i + 1));
    segments.push_back(static_cast<unsigned char>(count));
    const auto from = profile.begin() + static_cast<std::ptrdiff_t>(i * chunk);
    segments.insert(segments.end(), from, from + static_cast<std::ptrdiff_t>(size));
  }
  const std::size_t afterJfif = 4 + (jpeg[4] << 8 | jpeg[5]);
  Bytes out(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(afterJfif));
  out.insert(out.end(), segments.begin(), segments.end());
  out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(afterJfif), jpeg.end());
  return out;
}

// A little-endian EXIF block: IFD0 -> EXIF directory -> interoperability directory holding
// InteroperabilityIndex "R03", what cameras write for Adobe RGB without a profile.
Bytes r03Exif() {
  return {'E',  'x',  'i',  'f', 0, 0, 'I', 'I', 42, 0,   8,   0,   0, 0, 1, 0, 0x69,
          0x87, 4,    0,    1,   0, 0, 0,   26,  0,  0,   0,   0,   0, 0, 0, 1, 0,
          0x05, 0xA0, 4,    0,   1, 0, 0,   0,   44, 0,   0,   0,   0, 0, 0, 0, 1,
          0,    0x01, 0x00, 2,   0, 4, 0,   0,   0,  'R', '0', '3', 0, 0, 0, 0, 0};
}

Bytes encoded(const Bytes& samples, Bytes app1 = {}) {
  EncodeOptions options;
  options.quality = 95;
  options.app1 = std::move(app1);
  return encodeSamples(samples, kWidth, kHeight, options);
}

double meanError(const RgbImage& a, const RgbImage& b) {
  long total = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) total += std::abs(a.pixels[i] - b.pixels[i]);
  return static_cast<double>(total) / static_cast<double>(a.pixels.size());
}

Bytes joinedProfile(const Bytes& jpeg) {
  Bytes profile;
  for (const Segment& segment : headerSegments(jpeg)) {
    if (segment.marker == 0xE2)
      profile.insert(profile.end(), segment.payload.begin() + 14, segment.payload.end());
  }
  return profile;
}

class Colour : public ::testing::Test {
 protected:
  RenderedThumbnail render(const Bytes& source, ColourHandling colour) {
    const std::string path = folder_.write("source.jpg", source);
    ThumbnailRequest request{path, folder_ / "thumb.jpg", {SizingMode::Within, 0, 128, 128}};
    request.colour = colour;
    return renderThumbnail(request, DecodeLimits{testMemory()});
  }

  TempFolder folder_;
};

TEST_F(Colour, TaggedSourcesComeOutInSrgb) {
  const Bytes original = encoded(srgbSamples());
  const RgbImage reference =
      decodePlain(render(original, ColourHandling::None).outputs.front().jpeg);
  const struct {
    const char* name;
    Bytes source;
  } rows[] = {
      {"display_p3", tagged(encoded(converted(srgbSamples(), displayP3())), displayP3())},
      {"adobe_rgb", tagged(encoded(converted(srgbSamples(), adobeRgb())), adobeRgb())},
      {"adobe_rgb_marked_r03", encoded(converted(srgbSamples(), adobeRgb()), r03Exif())},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const RenderedThumbnail thumbnail = render(row.source, ColourHandling::Srgb);
    EXPECT_LT(meanError(decodePlain(thumbnail.outputs.front().jpeg), reference), 2.5);
    EXPECT_GT(meanError(decodePlain(render(row.source, ColourHandling::None).outputs.front().jpeg),
                        reference),
              4.0);
    EXPECT_TRUE(thumbnail.warnings.empty());
    EXPECT_TRUE(joinedProfile(thumbnail.outputs.front().jpeg).empty());
  }
}

TEST_F(Colour, SourcesAlreadyInSrgbKeepTheWindowsBytes) {
  const Bytes plain = encoded(srgbSamples());
  const Bytes rows[] = {plain, tagged(plain, srgbProfile())};
  for (const Bytes& source : rows) {
    EXPECT_EQ(render(source, ColourHandling::Srgb).outputs.front().jpeg,
              render(plain, ColourHandling::None).outputs.front().jpeg);
  }
}

TEST_F(Colour, KeepEmbedsTheProfileByteForByte) {
  const Bytes source = tagged(encoded(converted(srgbSamples(), displayP3())), displayP3(), 60000);
  const RenderedThumbnail kept = render(source, ColourHandling::Keep);
  EXPECT_EQ(joinedProfile(kept.outputs.front().jpeg), displayP3());
  EXPECT_EQ(decodePlain(kept.outputs.front().jpeg).pixels,
            decodePlain(render(source, ColourHandling::None).outputs.front().jpeg).pixels);
}

TEST_F(Colour, DamagedProfileWarnsAndTheThumbnailIsMade) {
  Bytes damaged = srgbProfile();
  std::fill(damaged.begin(), damaged.begin() + 64, 0x5A);
  const Bytes plain = encoded(srgbSamples());
  Bytes missingChunk = tagged(plain, displayP3());
  missingChunk[4 + (plain[4] << 8 | plain[5]) + 4 + sizeof kIccSignature + 1] = 9;
  for (const Bytes& source : {tagged(plain, damaged), missingChunk}) {
    const RenderedThumbnail thumbnail = render(source, ColourHandling::Srgb);
    EXPECT_EQ(thumbnail.warnings.size(), 1u);
    EXPECT_EQ(thumbnail.outputs.front().jpeg,
              render(plain, ColourHandling::None).outputs.front().jpeg);
  }
}

}  // namespace
}  // namespace velmora
