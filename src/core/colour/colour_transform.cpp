#include "core/colour/colour_transform.h"

#include <lcms2.h>

namespace velmora {

void ColourTransform::convert(const unsigned char* in, unsigned char* rgb,
                              std::size_t pixels) const {
  cmsDoTransform(transform_.get(), in, rgb, static_cast<cmsUInt32Number>(pixels));
}

}  // namespace velmora
