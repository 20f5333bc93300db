#include "core/colour/profile_verdicts.h"

#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>

#include "core/colour/builtin_profiles.h"
#include "core/colour/lcms_handles.h"

namespace velmora {

namespace {

// A run meets a handful of profiles; a tree of thousands of distinct ones must not keep
// thousands of transforms.
constexpr std::size_t kMostKeptVerdicts = 64;
// Samples per channel of the grid an RGB profile is compared with sRGB on.
constexpr int kGridSteps = 16;
constexpr int kGridStride = 17;
// Within this many levels on every sample the profile is sRGB, told apart only by rounding.
constexpr int kSrgbTolerance = 2;

cmsUInt32Number formatOf(InputLayout layout) {
  switch (layout) {
    case InputLayout::Rgb:
      return TYPE_RGB_8;
    case InputLayout::Cmyk:
      return TYPE_CMYK_8;
    case InputLayout::InvertedCmyk:
      return TYPE_CMYK_8_REV;
  }
  return TYPE_RGB_8;
}

bool fitsLayout(cmsHPROFILE profile, InputLayout layout) {
  const cmsColorSpaceSignature space = cmsGetColorSpace(profile);
  return layout == InputLayout::Rgb ? space == cmsSigRgbData : space == cmsSigCmykData;
}

TransformHandle transformToSrgb(cmsHPROFILE profile, InputLayout layout, cmsUInt32Number intent,
                                cmsUInt32Number flags) {
  const ProfileHandle srgb = makeSrgbProfile();
  if (!srgb) return nullptr;
  return TransformHandle(cmsCreateTransformTHR(colourContext(), profile, formatOf(layout),
                                               srgb.get(), TYPE_RGB_8, intent,
                                               flags | cmsFLAGS_NOCACHE));
}

// Compared by what it does rather than by its name or bytes: the colorimetric transform of an
// sRGB profile into the program's own sRGB leaves every sample of a grid where it was.
bool behavesAsSrgb(cmsHPROFILE profile) {
  const TransformHandle colorimetric =
      transformToSrgb(profile, InputLayout::Rgb, INTENT_RELATIVE_COLORIMETRIC, 0);
  if (!colorimetric) return false;
  std::vector<unsigned char> grid;
  grid.reserve(3 * kGridSteps * kGridSteps * kGridSteps);
  for (int r = 0; r < kGridSteps; ++r) {
    for (int g = 0; g < kGridSteps; ++g) {
      for (int b = 0; b < kGridSteps; ++b) {
        for (int level : {r, g, b}) grid.push_back(static_cast<unsigned char>(level * kGridStride));
      }
    }
  }
  std::vector<unsigned char> converted(grid.size());
  cmsDoTransform(colorimetric.get(), grid.data(), converted.data(),
                 static_cast<cmsUInt32Number>(grid.size() / 3));
  for (std::size_t i = 0; i < grid.size(); ++i) {
    if (std::abs(int{grid[i]} - int{converted[i]}) > kSrgbTolerance) return false;
  }
  return true;
}

ProfileVerdict judge(const std::vector<unsigned char>& bytes, InputLayout layout) {
  ProfileVerdict verdict;
  const ProfileHandle profile(cmsOpenProfileFromMemTHR(colourContext(), bytes.data(),
                                                       static_cast<cmsUInt32Number>(bytes.size())));
  if (!profile || !fitsLayout(profile.get(), layout)) return verdict;
  if (layout == InputLayout::Rgb && behavesAsSrgb(profile.get())) {
    verdict.usable = verdict.srgb = true;
    return verdict;
  }
  TransformHandle transform =
      transformToSrgb(profile.get(), layout, INTENT_PERCEPTUAL, cmsFLAGS_BLACKPOINTCOMPENSATION);
  if (!transform) return verdict;
  verdict.usable = true;
  verdict.toSrgb = std::make_shared<ColourTransform>(
      std::shared_ptr<void>(transform.release(), TransformDeleter()));
  return verdict;
}

class VerdictCache {
 public:
  ProfileVerdict verdictFor(const std::vector<unsigned char>& bytes, InputLayout layout) {
    std::string key(1, static_cast<char>(layout));
    key.append(bytes.begin(), bytes.end());
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      const auto found = verdicts_.find(key);
      if (found != verdicts_.end()) return found->second;
    }
    // Judged outside the lock, so that one new profile holds up no other worker; two workers
    // meeting it at once both judge it, and the first verdict stays.
    const ProfileVerdict verdict = judge(bytes, layout);
    const std::lock_guard<std::mutex> lock(mutex_);
    if (verdicts_.size() >= kMostKeptVerdicts) verdicts_.clear();
    return verdicts_.emplace(std::move(key), verdict).first->second;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<std::string, ProfileVerdict> verdicts_;
};

}  // namespace

ProfileVerdict verdictFor(const std::vector<unsigned char>& profile, InputLayout layout) {
  static VerdictCache cache;
  return cache.verdictFor(profile, layout);
}

}  // namespace velmora
