#include "core/colour/builtin_profiles.h"

namespace velmora {

namespace {

constexpr double kAdobeRgbGamma = 563.0 / 256.0;

struct CurveFreer {
  void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};

ProfileHandle makeAdobeRgbProfile() {
  const cmsCIExyY white = {0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
  const std::unique_ptr<cmsToneCurve, CurveFreer> gamma(
      cmsBuildGamma(colourContext(), kAdobeRgbGamma));
  cmsToneCurve* curves[3] = {gamma.get(), gamma.get(), gamma.get()};
  return ProfileHandle(cmsCreateRGBProfileTHR(colourContext(), &white, &primaries, curves));
}

std::vector<unsigned char> savedBytes(const ProfileHandle& profile) {
  cmsUInt32Number size = 0;
  if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size)) return {};
  std::vector<unsigned char> bytes(size);
  if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size)) return {};
  bytes.resize(size);
  return bytes;
}

}  // namespace

ProfileHandle makeSrgbProfile() { return ProfileHandle(cmsCreate_sRGBProfileTHR(colourContext())); }

const std::vector<unsigned char>& adobeRgbProfileBytes() {
  static const std::vector<unsigned char> bytes = savedBytes(makeAdobeRgbProfile());
  return bytes;
}

}  // namespace velmora
