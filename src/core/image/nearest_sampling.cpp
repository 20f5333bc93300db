#include "core/image/nearest_sampling.h"

#include <algorithm>

namespace velmora {

std::int32_t nearestSourceIndex(std::int32_t i, std::int32_t destinationLength,
                                std::int32_t sourceLength) {
  const std::int64_t numerator = (2 * static_cast<std::int64_t>(i) + 1) * sourceLength;
  return static_cast<std::int32_t>(numerator / (2 * static_cast<std::int64_t>(destinationLength)));
}

namespace {

// The stored index for each of `count` samples spread over the displayed side of `length`
// that starts at stored index `start`, running backwards through the stored picture when the
// display mirrors that side.
std::vector<std::int32_t> storedIndices(std::int32_t count, std::int32_t start, std::int32_t length,
                                        bool reversed) {
  std::vector<std::int32_t> indices(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    const std::int32_t shown = nearestSourceIndex(i, count, length);
    indices[static_cast<std::size_t>(i)] = start + (reversed ? length - 1 - shown : shown);
  }
  return indices;
}

}  // namespace

SamplingPlan::SamplingPlan(std::int32_t storedWidth, std::int32_t storedHeight, int orientation,
                           std::int32_t outputWidth, std::int32_t outputHeight)
    : SamplingPlan(PixelRegion{0, 0, storedWidth, storedHeight}, orientation, outputWidth,
                   outputHeight) {}

SamplingPlan::SamplingPlan(const PixelRegion& kept, int orientation, std::int32_t outputWidth,
                           std::int32_t outputHeight)
    : outputWidth_(outputWidth), outputHeight_(outputHeight) {
  // EXIF orientations, as the stored picture must be changed to be displayed:
  // 1 as is, 2 mirrored left-right, 3 turned half round, 4 mirrored top-bottom,
  // 5 transposed, 6 turned a quarter clockwise, 7 transposed the other way, 8 turned a quarter
  // anticlockwise. From 5 on, displayed rows are stored columns.
  transposed_ = orientation >= 5 && orientation <= 8;
  flipRows_ = orientation == 3 || orientation == 4 || orientation == 6 || orientation == 7;
  const bool flipColumns =
      orientation == 2 || orientation == 3 || orientation == 7 || orientation == 8;
  const std::int32_t lines = transposed_ ? outputWidth : outputHeight;
  const std::int32_t samples = transposed_ ? outputHeight : outputWidth;
  storedRowOfLine_ = storedIndices(lines, kept.top, kept.height, flipRows_);
  storedColumnOfSample_ = storedIndices(samples, kept.left, kept.width, flipColumns);
}

UprightPicture::UprightPicture(const SamplingPlan& plan)
    : plan_(plan),
      rowBytes_(static_cast<std::size_t>(plan.outputWidth()) * 3),
      pixels_(rowBytes_ * static_cast<std::size_t>(plan.outputHeight())) {}

void UprightPicture::fillLine(std::size_t line, const unsigned char* storedRow) {
  const std::vector<std::int32_t>& columns = plan_.storedColumnOfSample();
  for (std::size_t k = 0; k < columns.size(); ++k) {
    const std::size_t x = plan_.transposed() ? line : k;
    const std::size_t y = plan_.transposed() ? k : line;
    const unsigned char* from = storedRow + 3 * static_cast<std::size_t>(columns[k]);
    std::copy(from, from + 3, &pixels_[y * rowBytes_ + 3 * x]);
  }
}

void UprightPicture::handOver(RowSink& sink) const {
  for (std::int32_t y = 0; y < plan_.outputHeight(); ++y) {
    sink.takeRow(pixels_.data() + static_cast<std::size_t>(y) * rowBytes_);
  }
}

}  // namespace velmora
