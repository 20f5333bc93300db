#include "core/image/area_sampling.h"

#include <algorithm>
#include <numeric>

namespace velmora {

AreaAxis::AreaAxis(std::int32_t sourceLength, std::int32_t outputLength)
    : AreaAxis(0, sourceLength, outputLength) {}

AreaAxis::AreaAxis(std::int32_t sourceStart, std::int32_t sourceLength, std::int32_t outputLength)
    : sourceStart_(sourceStart), outputLength_(outputLength) {
  const std::int64_t unit = std::gcd(sourceLength, outputLength);
  const std::int64_t s = sourceLength / unit;
  const std::int64_t d = outputLength / unit;
  sampleWeight_ = static_cast<std::uint32_t>(s);
  wholeMultiple_ = d == 1;
  first_.reserve(static_cast<std::size_t>(outputLength) + 1);
  for (std::int64_t i = 0; i < outputLength; ++i) {
    first_.push_back(shares_.size());
    const std::int64_t begin = i * s;
    const std::int64_t end = begin + s;
    for (std::int64_t j = begin / d; j < sourceLength && j * d < end; ++j) {
      const std::int64_t overlap = std::min(end, (j + 1) * d) - std::max(begin, j * d);
      shares_.push_back(
          {sourceStart + static_cast<std::int32_t>(j), static_cast<std::uint32_t>(overlap)});
    }
  }
  first_.push_back(shares_.size());
}

AreaReducer::AreaReducer(std::int32_t sourceWidth, std::int32_t sourceHeight,
                         std::int32_t outputWidth, std::int32_t outputHeight, RowSink& sink)
    : AreaReducer(PixelRegion{0, 0, sourceWidth, sourceHeight}, outputWidth, outputHeight, sink) {}

namespace {

// The sum of an output pixel's weights: across times down, times 256 for fine input.
std::uint64_t weightTotal(const AreaAxis& across, std::int32_t sourceHeight,
                          std::int32_t outputHeight, AreaInput input) {
  const std::uint64_t down =
      static_cast<std::uint64_t>(sourceHeight / std::gcd(sourceHeight, outputHeight));
  return std::uint64_t{across.sampleWeight()} * down * (input == AreaInput::FineLevels ? 256 : 1);
}

}  // namespace

// Sums stay exact: below 256 times the total, that is within 32 bits down a column (at most
// 65535 levels or fine values times at most 65535 weights) and 64 bits across.
AreaReducer::AreaReducer(const PixelRegion& kept, std::int32_t outputWidth,
                         std::int32_t outputHeight, RowSink& sink, AreaInput input)
    : across_(kept.left, kept.width, outputWidth),
      firstRow_(kept.top),
      sourceHeight_(kept.height),
      outputHeight_(outputHeight),
      rowLength_(outputHeight / std::gcd(kept.height, outputHeight)),
      lineLength_(kept.height / std::gcd(kept.height, outputHeight)),
      level_(weightTotal(across_, kept.height, outputHeight, input), 256),
      fine_(weightTotal(across_, kept.height, outputHeight, input), 65536),
      sink_(sink),
      columnSums_(static_cast<std::size_t>(kept.width) * 3),
      lineSums_(static_cast<std::size_t>(outputWidth) * 3),
      line_(lineSums_.size()) {}

void AreaReducer::handFineRowsTo(FineRowSink& sink) {
  fineSinks_.push_back(&sink);
  fineLine_.resize(line_.size());
}

template <typename Value>
void AreaReducer::addDown(const Value* kept, std::uint32_t weight) {
  std::uint32_t* sums = columnSums_.data();
  const std::size_t count = columnSums_.size();
  if (startsLine_) {
    for (std::size_t k = 0; k < count; ++k) sums[k] = weight * kept[k];
  } else if (weight == 1) {
    for (std::size_t k = 0; k < count; ++k) sums[k] += kept[k];
  } else {
    for (std::size_t k = 0; k < count; ++k) sums[k] += weight * kept[k];
  }
  startsLine_ = false;
}

void AreaReducer::sumAcross() {
  if (across_.wholeMultiple()) {
    sumWholeMultiples();
    return;
  }
  const std::uint32_t* columns = columnSums_.data();
  const std::int32_t start = across_.sourceStart();
  std::size_t k = 0;
  for (std::int32_t x = 0; x < across_.outputLength(); ++x, k += 3) {
    std::uint64_t r = 0, g = 0, b = 0;
    for (const AreaAxis::Share* p = across_.sharesBegin(x); p != across_.sharesEnd(x); ++p) {
      const std::uint32_t* sums = columns + 3 * static_cast<std::size_t>(p->source - start);
      r += std::uint64_t{p->weight} * sums[0];
      g += std::uint64_t{p->weight} * sums[1];
      b += std::uint64_t{p->weight} * sums[2];
    }
    lineSums_[k] = r;
    lineSums_[k + 1] = g;
    lineSums_[k + 2] = b;
  }
}

// Sums without weights when every output pixel takes whole source pixels alone (as halving does).
void AreaReducer::sumWholeMultiples() {
  const std::size_t count = across_.sampleWeight();
  const std::uint32_t* sums = columnSums_.data();
  std::size_t k = 0;
  for (std::int32_t x = 0; x < across_.outputLength(); ++x, k += 3) {
    std::uint64_t r = 0, g = 0, b = 0;
    for (std::size_t j = 0; j < count; ++j, sums += 3) {
      r += sums[0];
      g += sums[1];
      b += sums[2];
    }
    lineSums_[k] = r;
    lineSums_[k + 1] = g;
    lineSums_[k + 2] = b;
  }
}

void AreaReducer::handOver() {
  sumAcross();
  startsLine_ = true;
  level_.divide(lineSums_.data(), 0, line_.data(), line_.size());
  sink_.takeRow(line_.data());
  if (!fineSinks_.empty()) {
    fine_.divide(lineSums_.data(), 8, fineLine_.data(), fineLine_.size());
    for (FineRowSink* sink : fineSinks_) sink->takeFineRow(fineLine_.data());
  }
  ++outputRow_;
}

void AreaReducer::takeRow(const unsigned char* rgb) { take(rgb); }

void AreaReducer::takeFineRow(const std::uint16_t* rgb) { take(rgb); }

// Source row j spans [j * D, (j + 1) * D) down the picture, output row i [i * S, (i + 1) * S),
// in the units of AreaAxis; the row adds to every output row it overlaps, and completes each
// that ends within it.
template <typename Value>
void AreaReducer::take(const Value* rgb) {
  if (rowsTaken_++ < firstRow_ || sourceRow_ >= sourceHeight_) return;
  const Value* kept = rgb + 3 * static_cast<std::size_t>(across_.sourceStart());
  const std::int64_t s = lineLength_;
  const std::int64_t d = rowLength_;
  const std::int64_t top = sourceRow_ * d;
  const std::int64_t bottom = top + d;
  while (outputRow_ < outputHeight_ && outputRow_ * s < bottom) {
    const std::int64_t lineTop = outputRow_ * s;
    const std::int64_t lineBottom = lineTop + s;
    addDown(kept,
            static_cast<std::uint32_t>(std::min(bottom, lineBottom) - std::max(top, lineTop)));
    if (lineBottom > bottom) break;
    handOver();
  }
  ++sourceRow_;
}

std::int32_t scaledLength(std::int32_t length, int eighths) {
  return static_cast<std::int32_t>((static_cast<std::int64_t>(length) * eighths + 7) / 8);
}

int averagingScale(std::int32_t sourceWidth, std::int32_t sourceHeight, std::int32_t outputWidth,
                   std::int32_t outputHeight) {
  constexpr int kFullScale = 8;
  for (int eighths = 1; eighths < kFullScale; ++eighths) {
    if (scaledLength(sourceWidth, eighths) >= 2 * static_cast<std::int64_t>(outputWidth) &&
        scaledLength(sourceHeight, eighths) >= 2 * static_cast<std::int64_t>(outputHeight)) {
      return eighths;
    }
  }
  return kFullScale;
}

}  // namespace velmora
