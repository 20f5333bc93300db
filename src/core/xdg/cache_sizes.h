#pragma once
// The desktop thumbnail cache's sizes: a folder each, and the longest side its entries may have.

#include <cstdint>
#include <optional>
#include <string>

#include "core/rules/thumbnail_sizing.h"

namespace velmora {

enum class CacheSize { Normal, Large, XLarge, XXLarge };

// The folder's name: "normal", "large", "x-large", "xx-large".
std::string cacheSizeName(CacheSize size);
// 128, 256, 512, 1024.
std::int32_t cacheSizePixels(CacheSize size);
// The size of that name, if any.
std::optional<CacheSize> cacheSizeNamed(const std::string& name);

// The largest side a thumbnail for the desktop may be asked for.
inline constexpr std::int32_t kLargestCachePixels = 1024;

// A thumbnail's size for a picture shown as `shown`: the longer side `limit` at most, the
// aspect ratio kept (the shorter side rounded, at least 1). A smaller picture keeps its own
// size: the desktop wants a thumbnail of every picture.
PixelSize cacheEntrySize(PixelSize shown, std::int32_t limit);

}  // namespace velmora
