// Writes the fuzzer's starting inputs: one small JPEG of every kind the thumbnail path knows,
// each behind the settings prefix the fuzz target reads, spread over the five sizing rules.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "../tests/support/jpeg_samples.h"
#include "fuzz_input.h"

namespace {

using velmora::samples::Bytes;
using velmora::samples::SampleColour;
using velmora::samples::SampleSpec;

std::vector<std::pair<std::string, SampleSpec>> sampleKinds() {
  std::vector<std::pair<std::string, SampleSpec>> kinds;
  auto add = [&](const std::string& name, auto change) {
    SampleSpec spec;
    change(spec);
    kinds.emplace_back(name, spec);
  };
  add("colour_420", [](SampleSpec&) {});
  add("colour_444", [](SampleSpec& s) { s.lumaH = s.lumaV = 1; });
  add("colour_422", [](SampleSpec& s) { s.lumaV = 1; });
  add("colour_440", [](SampleSpec& s) { s.lumaH = 1; });
  add("colour_411", [](SampleSpec& s) { s.lumaH = 4, s.lumaV = 1; });
  add("colour_odd_size", [](SampleSpec& s) { s.width = 37, s.height = 23; });
  add("colour_one_row", [](SampleSpec& s) { s.width = 50, s.height = 1; });
  add("colour_restarts", [](SampleSpec& s) { s.restartRows = 1; });
  add("stored_rgb", [](SampleSpec& s) { s.colour = SampleColour::StoredRgb; });
  add("grey", [](SampleSpec& s) { s.colour = SampleColour::Grey; });
  add("cmyk", [](SampleSpec& s) { s.colour = SampleColour::Cmyk; });
  add("ycck", [](SampleSpec& s) { s.colour = SampleColour::Ycck; });
  add("progressive", [](SampleSpec& s) { s.progressive = true; });
  add("progressive_grey", [](SampleSpec& s) {
    s.progressive = true;
    s.colour = SampleColour::Grey;
  });
  add("arithmetic", [](SampleSpec& s) { s.arithmetic = true; });
  for (unsigned orientation = 1; orientation <= 8; ++orientation)
    add("exif_orientation_" + std::to_string(orientation),
        [orientation](SampleSpec& s) { s.exif = velmora::samples::exifOrientation(orientation); });
  add("exif_loop", [](SampleSpec& s) { s.exif = velmora::samples::exifLoop(); });
  add("exif_out_of_range", [](SampleSpec& s) { s.exif = velmora::samples::exifOutOfRange(); });
  return kinds;
}

bool writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_seed_corpus OUTPUT_FOLDER\n";
    return 2;
  }
  const std::string folder = argv[1];
  unsigned index = 0;
  for (const auto& [name, spec] : sampleKinds()) {
    const Bytes jpeg = velmora::samples::makeJpeg(spec);
    // Each kind meets a different sizing rule, and the first two kinds meet all five.
    const unsigned rules = index < 2 ? 5 : 1;
    for (unsigned r = 0; r < rules; ++r) {
      Bytes input = velmora::fuzzing::settingsPrefix(static_cast<unsigned char>(index + r), 20, 30);
      input.insert(input.end(), jpeg.begin(), jpeg.end());
      const std::string path = folder + "/" + name + "_rule" + std::to_string((index + r) % 5 + 1);
      if (!writeFile(path, input)) {
        std::cerr << "cannot write " << path << "\n";
        return 1;
      }
    }
    // And each kind once more, averaged.
    Bytes averaged =
        velmora::fuzzing::settingsPrefix(static_cast<unsigned char>(0x80 | index), 20, 30);
    averaged.insert(averaged.end(), jpeg.begin(), jpeg.end());
    if (!writeFile(folder + "/" + name + "_area", averaged)) {
      std::cerr << "cannot write " << folder << "/" << name << "_area\n";
      return 1;
    }
    ++index;
  }
  return 0;
}
