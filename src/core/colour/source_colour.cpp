#include "core/colour/source_colour.h"

#include "core/colour/builtin_profiles.h"
#include "core/colour/profile_verdicts.h"
#include "core/image/exif_interop.h"

namespace velmora {

namespace {

const char kDamagedProfile[] =
    "colour profile damaged or unusable, ignored; colours left as stored";

InputLayout layoutOf(SourcePixels pixels) {
  switch (pixels) {
    case SourcePixels::Cmyk:
      return InputLayout::Cmyk;
    case SourcePixels::InvertedCmyk:
      return InputLayout::InvertedCmyk;
    default:
      return InputLayout::Rgb;
  }
}

// The profile the source's pixels are in: its own, or Adobe RGB for an "R03" photo without one.
const std::vector<unsigned char>* sourceProfile(const SourceMarkers& markers, SourcePixels pixels) {
  if (!markers.iccProfile.empty()) return &markers.iccProfile;
  if (pixels == SourcePixels::Rgb && exifMarksAdobeRgb(markers.exif.data(), markers.exif.size())) {
    return &adobeRgbProfileBytes();
  }
  return nullptr;
}

}  // namespace

ColourPlan planColour(ColourHandling handling, const SourceMarkers& markers, SourcePixels pixels) {
  ColourPlan plan;
  if (handling == ColourHandling::None || pixels == SourcePixels::Grey) return plan;
  if (markers.iccProfileDamaged) plan.warning = kDamagedProfile;
  const std::vector<unsigned char>* profile = sourceProfile(markers, pixels);
  if (profile == nullptr) return plan;
  const ProfileVerdict verdict = verdictFor(*profile, layoutOf(pixels));
  if (!verdict.usable) {
    plan.warning = kDamagedProfile;
    return plan;
  }
  if (pixels == SourcePixels::Rgb) {
    // An RGB thumbnail can carry the source's RGB profile; a CMYK one it cannot describe, so
    // CMYK is converted whichever way its profile is honoured.
    if (handling == ColourHandling::Keep) {
      plan.embeddedProfile = *profile;
    } else {
      plan.thumbnailToSrgb = verdict.toSrgb;
    }
    return plan;
  }
  plan.inkToSrgb = verdict.toSrgb;
  return plan;
}

}  // namespace velmora
