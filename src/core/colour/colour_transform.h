#pragma once
// One lcms2 transform into sRGB, shared by every worker that meets its profile.

#include <memory>

#include "core/image/pixel_converter.h"

namespace velmora {

class ColourTransform : public PixelConverter {
 public:
  // Takes an lcms2 transform made without its one-pixel cache, which is what lets several
  // threads run it at once.
  explicit ColourTransform(std::shared_ptr<void> transform) : transform_(std::move(transform)) {}
  void convert(const unsigned char* in, unsigned char* rgb, std::size_t pixels) const override;

 private:
  std::shared_ptr<void> transform_;
};

}  // namespace velmora
