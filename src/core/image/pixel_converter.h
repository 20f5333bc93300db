#pragma once
// Turns runs of pixels of one layout into RGB, as a colour transform does.

#include <cstddef>

namespace velmora {

class PixelConverter {
 public:
  virtual ~PixelConverter() = default;
  // Reads `pixels` pixels of the converter's input layout from `in` and writes pixels * 3
  // bytes of RGB to `rgb`. Safe to call from several threads at once.
  virtual void convert(const unsigned char* in, unsigned char* rgb, std::size_t pixels) const = 0;
};

}  // namespace velmora
