#pragma once
// Area averaging: each output pixel is the area-weighted mean of the source pixels it covers,
// those cut by its edges counting with the fraction of them inside. Unlike a nearest pick, no
// detail finer than the output falls through the gaps, so stripes and fabric do not alias.

#include <cstdint>
#include <vector>

#include "core/image/pixel_region.h"
#include "core/image/rounded_quotient.h"
#include "core/image/row_sink.h"

namespace velmora {

// How one side of S source samples spreads over D output samples. With g the greatest common
// divisor of S and D, in units where a source sample is D / g long and an output sample S / g
// long, output sample i covers [i * S / g, (i + 1) * S / g) and takes each source sample with
// the length of their overlap as its weight; the weights of one output sample add up to S / g.
// Units this small keep the sums small; the averages are those of any other common unit.
class AreaAxis {
 public:
  AreaAxis(std::int32_t sourceLength, std::int32_t outputLength);
  // The same over source samples sourceStart to sourceStart + sourceLength - 1 alone.
  AreaAxis(std::int32_t sourceStart, std::int32_t sourceLength, std::int32_t outputLength);

  struct Share {
    std::int32_t source;
    std::uint32_t weight;
  };
  // The source samples that output sample i covers, with their weights.
  const Share* sharesBegin(std::int32_t i) const { return &shares_[first_[i]]; }
  const Share* sharesEnd(std::int32_t i) const { return &shares_[first_[i + 1]]; }
  std::int32_t outputLength() const { return outputLength_; }
  // S / g: what the weights of one output sample add up to.
  std::uint32_t sampleWeight() const { return sampleWeight_; }
  // Whether S is a whole multiple of D: each output sample then takes S / D whole source
  // samples, each with weight 1, output sample i those from sourceStart + i * S / D on.
  bool wholeMultiple() const { return wholeMultiple_; }
  std::int32_t sourceStart() const { return sourceStart_; }

 private:
  std::int32_t sourceStart_;
  std::int32_t outputLength_;
  std::uint32_t sampleWeight_;
  bool wholeMultiple_;
  std::vector<Share> shares_;
  std::vector<std::size_t> first_;  // outputLength + 1 offsets into shares_
};

// Receives the rows of an averaged picture kept finer than its levels, each value times 256
// and rounded, so that a smaller size averaged from them is rounded once, not twice (on smooth
// pictures twice costs whole dBs).
class FineRowSink {
 public:
  virtual ~FineRowSink() = default;
  virtual void takeFineRow(const std::uint16_t* rgb) = 0;
};

// What an AreaReducer takes: levels, or the finer values a larger reducer hands on.
enum class AreaInput { Levels, FineLevels };

// Takes a picture's RGB rows top to bottom and hands each averaged output row to the sink as
// soon as the last source row it covers has arrived. Each source row is first added, weighted,
// into its output row's column sums (a plain pass over the values); the sums across are taken
// once per output row. Sums are exact integers; each output value is rounded to the nearest
// level once. Memory: one output row's column sums, 4 bytes per source value.
class AreaReducer : public RowSink, public FineRowSink {
 public:
  AreaReducer(std::int32_t sourceWidth, std::int32_t sourceHeight, std::int32_t outputWidth,
              std::int32_t outputHeight, RowSink& sink);
  // Averages the part `kept` of the rows it takes alone: one exact box over that region.
  AreaReducer(const PixelRegion& kept, std::int32_t outputWidth, std::int32_t outputHeight,
              RowSink& sink, AreaInput input = AreaInput::Levels);
  void takeRow(const unsigned char* rgb) override;
  void takeFineRow(const std::uint16_t* rgb) override;
  // Also hands each output row, finer than its levels, to a reducer of a smaller size.
  void handFineRowsTo(FineRowSink& sink);

 private:
  template <typename Value>
  void take(const Value* rgb);
  template <typename Value>
  void addDown(const Value* kept, std::uint32_t weight);
  void sumAcross();
  void sumWholeMultiples();
  void handOver();

  AreaAxis across_;
  std::int32_t firstRow_;  // rows above the kept region are passed over
  std::int32_t sourceHeight_;
  std::int32_t outputHeight_;
  // Down the picture in the units of AreaAxis: a source row is rowLength_ long, an output row
  // lineLength_.
  std::int64_t rowLength_;
  std::int64_t lineLength_;
  // Divisions by the sum of an output pixel's weights (times 256 for fine input), rounded to a
  // level and to a fine value.
  RoundedQuotient level_;
  RoundedQuotient fine_;
  RowSink& sink_;
  std::vector<FineRowSink*> fineSinks_;
  std::vector<std::uint32_t> columnSums_;  // the current output row, per kept source value
  bool startsLine_ = true;                 // the next row added is the first of its output row
  std::vector<std::uint64_t> lineSums_;    // the finished output row, before division
  std::vector<unsigned char> line_;
  std::vector<std::uint16_t> fineLine_;
  std::int32_t sourceRow_ = 0;  // counted from firstRow_
  std::int32_t rowsTaken_ = 0;
  std::int32_t outputRow_ = 0;
};

// The smallest DCT scale M/8 (M from 1 to 8) at which a side of sourceLength decodes to at
// least twice outputLength, or 8 when none does; rounding up as the decoder does.
int averagingScale(std::int32_t sourceWidth, std::int32_t sourceHeight, std::int32_t outputWidth,
                   std::int32_t outputHeight);
// The decoded length of a side at scale eighths/8.
std::int32_t scaledLength(std::int32_t length, int eighths);

}  // namespace velmora
