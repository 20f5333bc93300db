#include "core/image/row_sink.h"

#include <cstring>
#include <utility>

namespace velmora {

ImageSink::ImageSink(std::int32_t width, std::int32_t height) {
  image_.width = width;
  image_.height = height;
  image_.pixels.resize(image_.rowBytes() * static_cast<std::size_t>(height));
}

void ImageSink::takeRow(const unsigned char* rgb) {
  std::memcpy(image_.pixels.data() + filled_, rgb, image_.rowBytes());
  filled_ += image_.rowBytes();
}

}  // namespace velmora
