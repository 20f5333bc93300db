#pragma once

#include <string>

#include "core/rules/thumbnail_sizing.h"

namespace velmora {

// How thumbnail pixels are taken from the source: Nearest picks one source pixel each (the
// window's rule); Area averages all the source pixels each covers.
enum class SamplingFilter { Nearest, Area };

// One file to thumbnail: where from, where to, and how to size and sample it.
struct ThumbnailRequest {
  std::string sourcePath;
  std::string destinationPath;
  SizingRequest sizing;
  SamplingFilter filter = SamplingFilter::Nearest;
};

}  // namespace velmora
