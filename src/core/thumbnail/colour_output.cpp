#include "core/thumbnail/colour_output.h"

namespace velmora {

namespace {

SourcePixels sourcePixels(const JpegDecoder& decoder) {
  if (decoder.greyscale()) return SourcePixels::Grey;
  if (!decoder.fourComponents()) return SourcePixels::Rgb;
  return decoder.inkInverted() ? SourcePixels::InvertedCmyk : SourcePixels::Cmyk;
}

}  // namespace

ColourPlan followColourPlan(ColourHandling handling, JpegDecoder& decoder) {
  ColourPlan plan = planColour(handling, decoder.markers(), sourcePixels(decoder));
  decoder.convertInkWith(plan.inkToSrgb.get());
  return plan;
}

ColouredRows::ColouredRows(const ColourPlan& plan, RowSink& next, std::int32_t width)
    : target_(&next) {
  if (plan.thumbnailToSrgb) target_ = &converted_.emplace(next, *plan.thumbnailToSrgb, width);
}

}  // namespace velmora
