#include "core/image/area_cascade.h"

#include <optional>

#include "core/image/pixel_region.h"

namespace velmora {

namespace {

constexpr std::size_t kPictureRows = static_cast<std::size_t>(-1);

// One side of a region of the picture's rows, [start, start + length) of `whole`, on a side of
// `scaled` pixels covering the same picture; false unless both ends land on whole pixels.
bool mapExactly(std::int32_t start, std::int32_t length, std::int32_t whole, std::int32_t scaled,
                std::int32_t& mappedStart, std::int32_t& mappedLength) {
  const std::int64_t from = static_cast<std::int64_t>(start) * scaled;
  const std::int64_t span = static_cast<std::int64_t>(length) * scaled;
  if (from % whole != 0 || span % whole != 0) return false;
  mappedStart = static_cast<std::int32_t>(from / whole);
  mappedLength = static_cast<std::int32_t>(span / whole);
  return true;
}

// The part of the picture the target averages, in the pixels of a whole-picture size of width x
// height: all of it, or the centre cut of the picture's rows when its edges fall on that size's
// pixel edges. A cut rounded to coarser pixels would shift by up to half of one, which on fine
// detail costs dBs.
std::optional<PixelRegion> keptRegion(std::int32_t sourceWidth, std::int32_t sourceHeight,
                                      const AreaTarget& target, std::int32_t width,
                                      std::int32_t height) {
  if (!target.centreCut) return PixelRegion{0, 0, width, height};
  const PixelRegion cut = centreCut(sourceWidth, sourceHeight, target.width, target.height);
  PixelRegion mapped;
  if (!mapExactly(cut.left, cut.width, sourceWidth, width, mapped.left, mapped.width) ||
      !mapExactly(cut.top, cut.height, sourceHeight, height, mapped.top, mapped.height)) {
    return std::nullopt;
  }
  return mapped;
}

bool atLeastTwice(const PixelRegion& region, const AreaTarget& target) {
  return region.width >= 2 * static_cast<std::int64_t>(target.width) &&
         region.height >= 2 * static_cast<std::int64_t>(target.height);
}

std::int64_t pixelCount(const AreaTarget& target) {
  return static_cast<std::int64_t>(target.width) * target.height;
}

// Where target i is averaged from: the whole-picture target with the fewest pixels that holds
// its kept region exactly and at least twice its size on both sides, or kPictureRows.
std::size_t sourceOf(std::int32_t sourceWidth, std::int32_t sourceHeight,
                     const std::vector<AreaTarget>& targets, std::size_t i) {
  std::size_t best = kPictureRows;
  for (std::size_t j = 0; j < targets.size(); ++j) {
    const AreaTarget& from = targets[j];
    if (j == i || from.centreCut) continue;
    const std::optional<PixelRegion> kept =
        keptRegion(sourceWidth, sourceHeight, targets[i], from.width, from.height);
    if (!kept || !atLeastTwice(*kept, targets[i])) continue;
    if (best == kPictureRows || pixelCount(from) < pixelCount(targets[best])) best = j;
  }
  return best;
}

}  // namespace

// A target is averaged only from larger ones (twice on both sides), so the sources form a tree
// rooted at the picture's rows and no size waits on itself. Sizes averaged from another take its
// fine values, so that each is rounded to levels once.
AreaCascade::AreaCascade(std::int32_t sourceWidth, std::int32_t sourceHeight,
                         const std::vector<AreaTarget>& targets) {
  std::vector<std::size_t> sources;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    const std::size_t from = sourceOf(sourceWidth, sourceHeight, targets, i);
    const bool fromRows = from == kPictureRows;
    const std::optional<PixelRegion> kept =
        fromRows ? keptRegion(sourceWidth, sourceHeight, targets[i], sourceWidth, sourceHeight)
                 : keptRegion(sourceWidth, sourceHeight, targets[i], targets[from].width,
                              targets[from].height);
    reducers_.push_back(
        std::make_unique<AreaReducer>(*kept, targets[i].width, targets[i].height, *targets[i].sink,
                                      fromRows ? AreaInput::Levels : AreaInput::FineLevels));
    sources.push_back(from);
  }
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (sources[i] == kPictureRows) {
      pictureRows_.add(*reducers_[i]);
    } else {
      reducers_[sources[i]]->handFineRowsTo(*reducers_[i]);
    }
  }
}

void AreaCascade::takeRow(const unsigned char* rgb) { pictureRows_.takeRow(rgb); }

}  // namespace velmora
