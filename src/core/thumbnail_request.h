#pragma once

#include <string>

#include "core/thumbnail_sizing.h"

namespace velmora {

// One file to thumbnail: where from, where to, and how to size it.
struct ThumbnailRequest {
  std::string sourcePath;
  std::string destinationPath;
  SizingRequest sizing;
};

}  // namespace velmora
