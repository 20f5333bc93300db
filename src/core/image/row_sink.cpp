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

ConvertedRows::ConvertedRows(RowSink& next, const PixelConverter& converter, std::int32_t width)
    : next_(next), converter_(converter), row_(static_cast<std::size_t>(width) * 3) {}

void ConvertedRows::takeRow(const unsigned char* rgb) {
  converter_.convert(rgb, row_.data(), row_.size() / 3);
  next_.takeRow(row_.data());
}

}  // namespace velmora
