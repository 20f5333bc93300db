#pragma once
// How one source's colours reach its thumbnail, decided from its header before it is decoded.

#include <memory>
#include <string>
#include <vector>

#include "core/colour/colour_transform.h"
#include "core/jpeg/source_markers.h"
#include "core/rules/thumbnail_request.h"

namespace velmora {

// The pixels the decoder gives for a source, before they become RGB.
enum class SourcePixels { Grey, Rgb, Cmyk, InvertedCmyk };

struct ColourPlan {
  // Converts the thumbnail's RGB rows, after the reduction, where the pixels are fewest.
  std::shared_ptr<const PixelConverter> thumbnailToSrgb;
  // Converts the decoder's CMYK rows in place of its plain ink-times-black rule: CMYK has to
  // become RGB before it can be reduced.
  std::shared_ptr<const PixelConverter> inkToSrgb;
  // The ICC profile to write into the thumbnail; empty for none.
  std::vector<unsigned char> embeddedProfile;
  // Why the source's profile was ignored, for standard error; empty when it was not.
  std::string warning;
};

// The source's own ICC profile counts; without one, an EXIF interoperability index of "R03" on
// RGB pixels stands for Adobe RGB (1998). Greyscale sources, sources without a profile and
// sRGB-tagged sources get an empty plan: exactly the thumbnail the window makes. A profile
// lcms2 cannot use gives an empty plan with a warning, never an error.
ColourPlan planColour(ColourHandling handling, const SourceMarkers& markers, SourcePixels pixels);

}  // namespace velmora
