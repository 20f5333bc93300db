#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

// A 24-bit picture: rows top to bottom, each width * 3 bytes of red, green, blue.
struct RgbImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<unsigned char> pixels;

  std::size_t rowBytes() const { return static_cast<std::size_t>(width) * 3; }
};

}  // namespace velmora
