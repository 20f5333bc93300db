#pragma once
// What a source's ICC profile means for its thumbnail, worked out once per distinct profile and
// shared by every worker of the process.

#include <memory>
#include <vector>

#include "core/colour/colour_transform.h"

namespace velmora {

// The pixels a profile describes, as the decoder gives them.
enum class InputLayout { Rgb, Cmyk, InvertedCmyk };

struct ProfileVerdict {
  // lcms2 read the profile, it describes pixels of the layout, and a transform could be made.
  bool usable = false;
  // An RGB profile with sRGB's colours (whatever its bytes or name): nothing to convert.
  bool srgb = false;
  // Into sRGB with perceptual intent and black-point compensation; set when usable and not sRGB.
  std::shared_ptr<const ColourTransform> toSrgb;
};

// Safe to call from several threads at once. Damaged profiles are never an error: they come
// back unusable.
ProfileVerdict verdictFor(const std::vector<unsigned char>& profile, InputLayout layout);

}  // namespace velmora
