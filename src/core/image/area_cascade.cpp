#include "core/image/area_cascade.h"

#include "core/image/pixel_region.h"

namespace velmora {

namespace {

constexpr std::size_t kPictureRows = static_cast<std::size_t>(-1);

// The part of a width x height picture that the target averages.
PixelRegion keptRegion(std::int32_t width, std::int32_t height, const AreaTarget& target) {
  if (!target.centreCut) return {0, 0, width, height};
  return centreCut(width, height, target.width, target.height);
}

bool atLeastTwice(const PixelRegion& region, const AreaTarget& target) {
  return region.width >= 2 * static_cast<std::int64_t>(target.width) &&
         region.height >= 2 * static_cast<std::int64_t>(target.height);
}

std::int64_t pixelCount(const AreaTarget& target) {
  return static_cast<std::int64_t>(target.width) * target.height;
}

// The whole-picture target with the fewest pixels that holds at least twice target i's kept
// region on both sides, or kPictureRows. A centre cut taken there keeps the region a separate
// decode would, rounded to that size's pixels as a separate decode rounds to its own.
std::size_t sourceOf(const std::vector<AreaTarget>& targets, std::size_t i) {
  std::size_t best = kPictureRows;
  for (std::size_t j = 0; j < targets.size(); ++j) {
    const AreaTarget& from = targets[j];
    if (j == i || from.centreCut ||
        !atLeastTwice(keptRegion(from.width, from.height, targets[i]), targets[i])) {
      continue;
    }
    if (best == kPictureRows || pixelCount(from) < pixelCount(targets[best])) best = j;
  }
  return best;
}

}  // namespace

// A target is averaged only from larger ones (twice on both sides), so the sources form a tree
// rooted at the picture's rows and no size waits on itself.
AreaCascade::AreaCascade(std::int32_t sourceWidth, std::int32_t sourceHeight,
                         const std::vector<AreaTarget>& targets) {
  for (std::size_t i = 0; i < targets.size(); ++i) {
    forks_.push_back(std::make_unique<Fork>());
    forks_.back()->add(*targets[i].sink);
  }
  for (std::size_t i = 0; i < targets.size(); ++i) {
    const std::size_t from = sourceOf(targets, i);
    Fork& fork = from == kPictureRows ? source_ : *forks_[from];
    const PixelRegion kept =
        from == kPictureRows ? keptRegion(sourceWidth, sourceHeight, targets[i])
                             : keptRegion(targets[from].width, targets[from].height, targets[i]);
    reducers_.push_back(
        std::make_unique<AreaReducer>(kept, targets[i].width, targets[i].height, *forks_[i]));
    fork.add(*reducers_.back());
  }
}

void AreaCascade::takeRow(const unsigned char* rgb) { source_.takeRow(rgb); }

}  // namespace velmora
