#pragma once
// Decoding a source straight into its sampled, oriented picture, keeping only what the
// sampler takes: memory follows the output and one stored row, not the source's pixel count.

#include <cstdint>

#include "core/jpeg_codec.h"
#include "core/nearest_sampling.h"
#include "core/rgb_image.h"

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

enum class RowPassing {
  Skip,       // pass over unneeded rows without decoding them where that is exact
  DecodeAll,  // decode every row (the reference the skipping must equal)
};

// Decodes a started decoder to its end and hands the planned output to the sink. When the plan
// keeps the decode order, each output row goes to the sink as soon as its stored row is
// decoded; otherwise the output is assembled first and then handed over.
void decodeSampled(JpegDecoder& decoder, const SamplingPlan& plan, RowSink& sink,
                   RowPassing passing = RowPassing::Skip);

}  // namespace velmora
