#pragma once
// Nearest-neighbour sampling: which stored pixel each thumbnail or preview pixel takes.

#include <cstdint>
#include <vector>

#include "core/image/pixel_region.h"
#include "core/image/row_sink.h"

namespace velmora {

// The one sampling rule. Destination sample i of D spread over S source samples takes the
// source sample under its centre: floor((2i + 1) * S / (2D)), computed in 64 bits. The chosen
// samples spread evenly with equal margins at both ends, so no edge row or column is lost to
// the edge or taken twice, and S == D takes every sample once.
std::int32_t nearestSourceIndex(std::int32_t i, std::int32_t destinationLength,
                                std::int32_t sourceLength);

// Where every pixel of an output picture comes from in the stored picture, for an output made
// of the picture as displayed (turned and mirrored by its EXIF orientation, 1 to 8) sampled
// down to outputWidth x outputHeight. The output is seen as lines: output rows when the
// orientation keeps rows as rows, output columns when it exchanges them (orientations 5 to 8).
// Every line comes from one stored row; sample k along a line from one stored column.
class SamplingPlan {
 public:
  SamplingPlan(std::int32_t storedWidth, std::int32_t storedHeight, int orientation,
               std::int32_t outputWidth, std::int32_t outputHeight);
  // The same for the part `kept` of the stored picture alone.
  SamplingPlan(const PixelRegion& kept, int orientation, std::int32_t outputWidth,
               std::int32_t outputHeight);

  std::int32_t outputWidth() const { return outputWidth_; }
  std::int32_t outputHeight() const { return outputHeight_; }
  // True when lines are output columns.
  bool transposed() const { return transposed_; }
  // True when each output row comes from one stored row and the stored rows run downwards, so
  // output rows can be produced one after another while the source is decoded.
  bool rowsInDecodeOrder() const { return !transposed_ && !flipRows_; }
  const std::vector<std::int32_t>& storedRowOfLine() const { return storedRowOfLine_; }
  const std::vector<std::int32_t>& storedColumnOfSample() const { return storedColumnOfSample_; }

 private:
  std::int32_t outputWidth_;
  std::int32_t outputHeight_;
  bool transposed_;
  bool flipRows_;
  std::vector<std::int32_t> storedRowOfLine_;
  std::vector<std::int32_t> storedColumnOfSample_;
};

// A plan's whole output picture, upright, filled a line at a time in any order: for plans whose
// rows cannot be produced while the source is decoded (lines that are columns, or stored rows
// running upwards).
class UprightPicture {
 public:
  explicit UprightPicture(const SamplingPlan& plan);

  // Places line `line`'s samples, taken from the stored row it comes from.
  void fillLine(std::size_t line, const unsigned char* storedRow);
  // Hands the picture over, top row first.
  void handOver(RowSink& sink) const;

 private:
  const SamplingPlan& plan_;
  std::size_t rowBytes_;
  std::vector<unsigned char> pixels_;
};

}  // namespace velmora
