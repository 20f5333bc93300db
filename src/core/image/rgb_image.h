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

// The bytes of a width x height RGB picture.
inline std::uint64_t pictureBytes(std::int32_t width, std::int32_t height) {
  return std::uint64_t{3} * static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height);
}

}  // namespace velmora
