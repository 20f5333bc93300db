#include "core/xdg/cache_sizes.h"

#include <algorithm>

namespace velmora {

namespace {

struct NamedSize {
  CacheSize size;
  const char* name;
  std::int32_t pixels;
};

constexpr NamedSize kSizes[] = {
    {CacheSize::Normal, "normal", 128},
    {CacheSize::Large, "large", 256},
    {CacheSize::XLarge, "x-large", 512},
    {CacheSize::XXLarge, "xx-large", 1024},
};

const NamedSize& entryOf(CacheSize size) { return kSizes[static_cast<int>(size)]; }

// The shorter side scaled as the longer one, rounded to the nearest pixel.
std::int32_t scaledSide(std::int32_t side, std::int32_t longer, std::int32_t limit) {
  const std::int64_t scaled = (static_cast<std::int64_t>(side) * limit + longer / 2) / longer;
  return std::max<std::int32_t>(1, static_cast<std::int32_t>(scaled));
}

}  // namespace

std::string cacheSizeName(CacheSize size) { return entryOf(size).name; }

std::int32_t cacheSizePixels(CacheSize size) { return entryOf(size).pixels; }

std::optional<CacheSize> cacheSizeNamed(const std::string& name) {
  for (const NamedSize& named : kSizes) {
    if (name == named.name) return named.size;
  }
  return std::nullopt;
}

PixelSize cacheEntrySize(PixelSize shown, std::int32_t limit) {
  const std::int32_t longer = std::max(shown.width, shown.height);
  if (longer <= limit) return shown;
  if (shown.width >= shown.height) return {limit, scaledSide(shown.height, longer, limit)};
  return {scaledSide(shown.width, longer, limit), limit};
}

}  // namespace velmora
