// Writes the RGB profiles the colour bench tags and converts photos with: Display P3, Adobe RGB
// (1998) and ProPhoto RGB, built by lcms2 from their published primaries, white points and tone
// curves, so that no profile file is shipped or fetched.
//
// Usage: icc_profiles FOLDER  (writes display-p3.icc, adobe-rgb.icc and prophoto.icc there)

#include <lcms2.h>

#include <cstdio>
#include <string>

namespace {

struct RgbSpace {
  const char* file;
  cmsCIExyY white;
  cmsCIExyYTRIPLE primaries;
  cmsToneCurve* curve;
};

// The sRGB tone curve, which Display P3 shares: IEC 61966-2.1's parametric type 4.
cmsToneCurve* srgbCurve() {
  const cmsFloat64Number parameters[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  return cmsBuildParametricToneCurve(nullptr, 4, parameters);
}

bool write(const RgbSpace& space, const std::string& folder) {
  cmsToneCurve* curves[3] = {space.curve, space.curve, space.curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&space.white, &space.primaries, curves);
  if (profile == nullptr) return false;
  const std::string path = folder + "/" + space.file;
  const bool saved = cmsSaveProfileToFile(profile, path.c_str()) != FALSE;
  cmsCloseProfile(profile);
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: icc_profiles FOLDER\n");
    return 2;
  }
  const cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
  const cmsCIExyY d50 = {0.3457, 0.3585, 1.0};
  const RgbSpace spaces[] = {
      {"display-p3.icc",
       d65,
       {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}},
       srgbCurve()},
      {"adobe-rgb.icc",
       d65,
       {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}},
       cmsBuildGamma(nullptr, 563.0 / 256.0)},
      {"prophoto.icc",
       d50,
       {{0.7347, 0.2653, 1}, {0.1596, 0.8404, 1}, {0.0366, 0.0001, 1}},
       cmsBuildGamma(nullptr, 1.8)},
  };
  int status = 0;
  for (const RgbSpace& space : spaces) {
    if (!write(space, argv[1])) {
      std::fprintf(stderr, "icc_profiles: could not write %s\n", space.file);
      status = 1;
    }
    cmsFreeToneCurve(space.curve);
  }
  return status;
}
