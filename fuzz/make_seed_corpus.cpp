// Writes the fuzzer's starting inputs: one small JPEG of every kind the thumbnail path knows,
// each behind the settings prefix the fuzz target reads, spread over the five sizing rules.

#include <iostream>
#include <string>
#include <vector>

#include "core/colour/builtin_profiles.h"
#include "fuzz_input.h"
#include "jpeg_fixtures.h"

namespace {

using velmora::testing::Bytes;

// A real profile (the program's own Adobe RGB) as two APP2 chunks, so that the fuzzer meets the
// joining of chunks and lcms2's reading of what they hold.
std::vector<std::pair<int, Bytes>> iccSegments() {
  const std::vector<unsigned char>& profile = velmora::adobeRgbProfileBytes();
  const std::size_t half = profile.size() / 2;
  std::vector<std::pair<int, Bytes>> segments;
  for (unsigned chunk = 0; chunk < 2; ++chunk) {
    Bytes payload = velmora::testing::textBytes(std::string("ICC_PROFILE\0", 12));
    payload.push_back(static_cast<unsigned char>(chunk + 1));
    payload.push_back(2);
    payload.insert(payload.end(), profile.begin() + (chunk == 0 ? 0 : static_cast<long>(half)),
                   chunk == 0 ? profile.begin() + static_cast<long>(half) : profile.end());
    segments.emplace_back(0xE2, payload);
  }
  return segments;
}
using velmora::testing::EncodeOptions;
using velmora::testing::FileColours;

struct SeedKind {
  std::string name;
  int width = 64;
  int height = 48;
  EncodeOptions options;
};

std::vector<SeedKind> seedKinds() {
  std::vector<SeedKind> kinds;
  auto add = [&](const std::string& name, auto change) {
    SeedKind kind;
    kind.name = name;
    change(kind, kind.options);
    kinds.push_back(kind);
  };
  add("colour_420", [](SeedKind&, EncodeOptions&) {});
  add("colour_444", [](SeedKind&, EncodeOptions& o) { o.lumaH = o.lumaV = 1; });
  add("colour_422", [](SeedKind&, EncodeOptions& o) { o.lumaV = 1; });
  add("colour_440", [](SeedKind&, EncodeOptions& o) { o.lumaH = 1; });
  add("colour_411", [](SeedKind&, EncodeOptions& o) { o.lumaH = 4, o.lumaV = 1; });
  add("colour_odd_size", [](SeedKind& k, EncodeOptions&) { k.width = 37, k.height = 23; });
  add("colour_one_row", [](SeedKind& k, EncodeOptions&) { k.width = 50, k.height = 1; });
  add("colour_restarts", [](SeedKind&, EncodeOptions& o) { o.restartInterval = 1; });
  add("stored_rgb", [](SeedKind&, EncodeOptions& o) { o.colours = FileColours::Rgb; });
  add("grey", [](SeedKind&, EncodeOptions& o) { o.colours = FileColours::Grey; });
  add("cmyk", [](SeedKind&, EncodeOptions& o) { o.colours = FileColours::Cmyk; });
  add("ycck", [](SeedKind&, EncodeOptions& o) { o.colours = FileColours::Ycck; });
  add("progressive", [](SeedKind&, EncodeOptions& o) { o.progressive = true; });
  add("progressive_grey", [](SeedKind&, EncodeOptions& o) {
    o.progressive = true;
    o.colours = FileColours::Grey;
  });
  add("arithmetic", [](SeedKind&, EncodeOptions& o) { o.arithmetic = true; });
  for (int orientation = 1; orientation <= 8; ++orientation)
    add("exif_orientation_" + std::to_string(orientation),
        [orientation](SeedKind&, EncodeOptions& o) { o.exifOrientation = orientation; });
  add("exif_loop", [](SeedKind&, EncodeOptions& o) { o.app1 = velmora::testing::exifLoop(); });
  add("exif_out_of_range",
      [](SeedKind&, EncodeOptions& o) { o.app1 = velmora::testing::exifOutOfRange(); });
  add("kept_metadata", [](SeedKind&, EncodeOptions& o) {
    o.app1 = velmora::testing::cameraExifPayload(true);
    o.segments = {{0xE1, velmora::testing::xmpPayload()},
                  {0xED, velmora::testing::textBytes(std::string("Photoshop 3.0\0", 14) + "8BIM")},
                  {0xFE, velmora::testing::textBytes("a comment")}};
  });
  add("icc_profile", [](SeedKind&, EncodeOptions& o) { o.segments = iccSegments(); });
  add("kept_metadata_mm",
      [](SeedKind&, EncodeOptions& o) { o.app1 = velmora::testing::cameraExifPayload(false); });
  return kinds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_seed_corpus OUTPUT_FOLDER\n";
    return 2;
  }
  const std::string folder = argv[1];
  unsigned index = 0;
  for (const SeedKind& kind : seedKinds()) {
    const Bytes jpeg = velmora::testing::encodeJpeg(kind.width, kind.height, kind.options);
    // Each kind meets a different sizing rule, and the first two kinds meet all five.
    const unsigned rules = index < 2 ? 5 : 1;
    for (unsigned r = 0; r < rules; ++r) {
      Bytes input = velmora::fuzzing::settingsPrefix(static_cast<unsigned char>(index + r), 20, 30);
      input.insert(input.end(), jpeg.begin(), jpeg.end());
      velmora::testing::writeBytes(
          folder + "/" + kind.name + "_rule" + std::to_string((index + r) % 5 + 1), input);
    }
    // And each kind once more, averaged.
    Bytes averaged =
        velmora::fuzzing::settingsPrefix(static_cast<unsigned char>(0x80 | index), 20, 30);
    averaged.insert(averaged.end(), jpeg.begin(), jpeg.end());
    velmora::testing::writeBytes(folder + "/" + kind.name + "_area", averaged);
    // And once as a gallery makes it, averaged: a box rule and two smaller outputs.
    Bytes gallery =
        velmora::fuzzing::settingsPrefix(static_cast<unsigned char>(0xC0 | (index & 1)), 20, 30);
    gallery.insert(gallery.end(), jpeg.begin(), jpeg.end());
    velmora::testing::writeBytes(folder + "/" + kind.name + "_gallery", gallery);
    // And once keeping every metadata segment.
    Bytes kept = velmora::fuzzing::settingsPrefix(static_cast<unsigned char>(0x20 | index), 20, 30);
    kept.insert(kept.end(), jpeg.begin(), jpeg.end());
    velmora::testing::writeBytes(folder + "/" + kind.name + "_kept", kept);
    // And once with its colours converted into sRGB.
    Bytes converted =
        velmora::fuzzing::settingsPrefix(static_cast<unsigned char>(0x10 | index), 20, 30);
    converted.insert(converted.end(), jpeg.begin(), jpeg.end());
    velmora::testing::writeBytes(folder + "/" + kind.name + "_srgb", converted);
    ++index;
  }
  return 0;
}
