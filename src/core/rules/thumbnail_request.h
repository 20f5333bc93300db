#pragma once

#include <string>

#include "core/files/directory_handle.h"
#include "core/rules/kept_metadata.h"
#include "core/rules/thumbnail_sizing.h"

namespace velmora {

// How thumbnail pixels are taken from the source: Nearest picks one source pixel each (the
// window's rule); Area averages all the source pixels each covers.
enum class SamplingFilter { Nearest, Area };

// What becomes of a source's colour profile: None drops it and keeps the decoded numbers (the
// window's rule); Srgb converts a tagged source's colours to sRGB and writes them untagged;
// Keep leaves the numbers as decoded and embeds the source's profile in the thumbnail.
enum class ColourHandling { None, Srgb, Keep };

// The encoder's quality, 1 to 100: the window's thumbnails are always made at the default.
inline constexpr int kDefaultQuality = 90;
inline constexpr int kHighestQuality = 100;

// One file to thumbnail: where from, where to, and how to size and sample it.
struct ThumbnailRequest {
  std::string sourcePath;
  std::string destinationPath;
  SizingRequest sizing;
  SamplingFilter filter = SamplingFilter::Nearest;
  int quality = kDefaultQuality;
  ColourHandling colour = ColourHandling::None;
  KeptMetadata keep = {};  // none: the JFIF header alone
  // The folder a tree walk listed the source in, held open: the source is read from there,
  // and a destination beside it is written there. Null for a source opened by its path.
  SharedDirectory sourceFolder = nullptr;
};

}  // namespace velmora
