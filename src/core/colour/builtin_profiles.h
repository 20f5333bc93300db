#pragma once
// The profiles the program makes itself rather than reading them from a photo.

#include <vector>

#include "core/colour/lcms_handles.h"

namespace velmora {

// sRGB (IEC 61966-2.1), what every thumbnail is written in.
ProfileHandle makeSrgbProfile();

// Adobe RGB (1998), for a photo that EXIF marks as such without embedding a profile: the D65
// white, the red (0.64, 0.33), green (0.21, 0.71) and blue (0.15, 0.06) primaries, and a gamma
// of 563/256. Made once, saved as ICC bytes that stand in for an embedded profile.
const std::vector<unsigned char>& adobeRgbProfileBytes();

}  // namespace velmora
