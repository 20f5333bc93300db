#pragma once
// How the fuzz target reads its input: a few bytes of settings, then the file's bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/rules/thumbnail_request.h"
#include "core/rules/thumbnail_sizing.h"

namespace velmora::fuzzing {

inline constexpr std::size_t kSettingsBytes = 5;

// A sizing request of the kind the program can make: one of the five rules or, when the first
// byte has its 0x40 bit, one of the command line's box rules; a rate of 1 to 100 and pixel
// values of 1 to 1000, whatever the bytes say.
inline SizingRequest sizingFromSettings(const unsigned char* settings) {
  const unsigned first = settings[1] | settings[2] << 8;
  const unsigned second = settings[3] | settings[4] << 8;
  SizingRequest request;
  request.mode = settings[0] & 0x40 ? (settings[0] & 1 ? SizingMode::Fill : SizingMode::Within)
                                    : static_cast<SizingMode>(settings[0] % 5 + 1);
  const auto pixels = [](unsigned value) { return static_cast<std::int32_t>(value % 1000 + 1); };
  switch (request.mode) {
    case SizingMode::Rate:
      request.rate = static_cast<std::int32_t>(first % 100 + 1);
      break;
    case SizingMode::Height:
      request.heightValue = pixels(first);
      break;
    case SizingMode::Width:
      request.widthValue = pixels(first);
      break;
    case SizingMode::HeightAndWidth:
    case SizingMode::Fit:
    case SizingMode::Within:
    case SizingMode::Fill:
      request.heightValue = pixels(first);
      request.widthValue = pixels(second);
      break;
  }
  return request;
}

// With a command line's box rule, two more outputs of the same decode, as a gallery run makes
// them: the box halved under the same rule, and a square a quarter of its shorter side. In area
// mode they are averaged from the larger outputs where those are large enough.
inline std::vector<ThumbnailOutput> moreOutputsFromSettings(const SizingRequest& first) {
  if (first.mode != SizingMode::Within && first.mode != SizingMode::Fill) return {};
  SizingRequest half = first;
  half.heightValue = std::max(1, first.heightValue / 2);
  half.widthValue = std::max(1, first.widthValue / 2);
  SizingRequest square;
  square.mode = SizingMode::Fill;
  square.heightValue = square.widthValue =
      std::max(1, std::min(half.heightValue, half.widthValue) / 2);
  return {{"", half}, {"", square}};
}

// The first byte's top bit chooses area averaging; the rule takes the whole byte modulo 5, so
// inputs made before there was a choice keep their meaning.
inline SamplingFilter filterFromSettings(const unsigned char* settings) {
  return settings[0] & 0x80 ? SamplingFilter::Area : SamplingFilter::Nearest;
}

// The first byte's 0x20 bit keeps every metadata segment (the EXIF with its location, the XMP,
// the Photoshop blocks and the comments), so that their rewriting meets the same bytes.
inline KeptMetadata keptFromSettings(const unsigned char* settings) {
  const bool kept = (settings[0] & 0x20) != 0;
  return {kept, kept, kept, kept, kept, false};
}

// The first byte's 0x10 bit converts a tagged source's colours to sRGB, or, with the 0x20 bit,
// keeps its profile; without it the colours are the window's, as in every input made before
// there was a choice.
inline ColourHandling colourFromSettings(const unsigned char* settings) {
  if ((settings[0] & 0x10) == 0) return ColourHandling::None;
  return settings[0] & 0x20 ? ColourHandling::Keep : ColourHandling::Srgb;
}

// The prefix that makes sizingFromSettings give rule (rule % 5 + 1) with values first + 1 and
// second + 1 (first + 1 is also the rate).
inline std::vector<unsigned char> settingsPrefix(unsigned char rule, unsigned first,
                                                 unsigned second) {
  return {rule, static_cast<unsigned char>(first - 1), static_cast<unsigned char>((first - 1) >> 8),
          static_cast<unsigned char>(second - 1), static_cast<unsigned char>((second - 1) >> 8)};
}

}  // namespace velmora::fuzzing
