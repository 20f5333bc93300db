#pragma once
// A decode and its thumbnails set up to follow the source's colour plan.

#include <cstdint>
#include <optional>

#include "core/colour/source_colour.h"
#include "core/image/row_sink.h"
#include "core/jpeg/jpeg_decoder.h"
#include "core/rules/thumbnail_request.h"

namespace velmora {

// The plan for the decoder's source, the decoder already told to take its CMYK rows through it.
// Call after readHeader and before start; the plan must outlive the decode.
ColourPlan followColourPlan(ColourHandling handling, JpegDecoder& decoder);

// Hands a thumbnail's rows on to `next`, through the plan's conversion into sRGB when it has one.
class ColouredRows : public RowSink {
 public:
  ColouredRows(const ColourPlan& plan, RowSink& next, std::int32_t width);
  // It points into itself.
  ColouredRows(const ColouredRows&) = delete;
  ColouredRows& operator=(const ColouredRows&) = delete;
  void takeRow(const unsigned char* rgb) override { target_->takeRow(rgb); }

 private:
  std::optional<ConvertedRows> converted_;
  RowSink* target_;
};

}  // namespace velmora
