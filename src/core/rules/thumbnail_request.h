#pragma once

#include <string>
#include <vector>

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

// One thumbnail of a source: where it goes and how it is sized.
struct ThumbnailOutput {
  std::string destinationPath;
  SizingRequest sizing;
};

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
  // Further thumbnails of the same source, made from the same decode as the first (the
  // destination and sizing above) and sampled and encoded as it is, in this order.
  std::vector<ThumbnailOutput> moreOutputs = {};
};

// Every thumbnail a request asks for, the first one first.
inline std::vector<ThumbnailOutput> outputsOf(const ThumbnailRequest& request) {
  std::vector<ThumbnailOutput> outputs{{request.destinationPath, request.sizing}};
  outputs.insert(outputs.end(), request.moreOutputs.begin(), request.moreOutputs.end());
  return outputs;
}

}  // namespace velmora
