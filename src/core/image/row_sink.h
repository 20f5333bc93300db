#pragma once
// Where decoded or reduced pictures go, a row at a time.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/image/pixel_converter.h"
#include "core/image/rgb_image.h"

namespace velmora {

// Receives the output picture's rows, top to bottom, each outputWidth * 3 bytes of RGB.
class RowSink {
 public:
  virtual ~RowSink() = default;
  virtual void takeRow(const unsigned char* rgb) = 0;
};

// Collects the rows into a picture.
class ImageSink : public RowSink {
 public:
  ImageSink(std::int32_t width, std::int32_t height);
  void takeRow(const unsigned char* rgb) override;
  RgbImage take() { return std::move(image_); }

 private:
  RgbImage image_;
  std::size_t filled_ = 0;
};

// Converts each row's colours before handing it on.
class ConvertedRows : public RowSink {
 public:
  ConvertedRows(RowSink& next, const PixelConverter& converter, std::int32_t width);
  void takeRow(const unsigned char* rgb) override;

 private:
  RowSink& next_;
  const PixelConverter& converter_;
  std::vector<unsigned char> row_;
};

}  // namespace velmora
