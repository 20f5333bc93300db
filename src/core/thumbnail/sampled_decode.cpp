#include "core/thumbnail/sampled_decode.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

namespace velmora {

namespace {

// Brings the decoder to a stored row and decodes it into `row`.
class RowReader {
 public:
  RowReader(JpegDecoder& decoder, RowPassing passing)
      : decoder_(decoder), passing_(passing), row_(static_cast<std::size_t>(decoder.width()) * 3) {}

  const unsigned char* rowAt(std::int32_t index) {
    if (index == current_) return row_.data();
    const std::int32_t gap = index - decoder_.nextRow();
    if (passing_ == RowPassing::Skip) {
      decoder_.skipRows(gap);
    } else {
      for (std::int32_t i = 0; i < gap; ++i) decoder_.readRow(row_.data());
    }
    decoder_.readRow(row_.data());
    current_ = index;
    return row_.data();
  }

  void finish() {
    if (passing_ == RowPassing::DecodeAll) {
      while (decoder_.nextRow() < decoder_.height()) decoder_.readRow(row_.data());
    }
    decoder_.finish();
  }

 private:
  JpegDecoder& decoder_;
  RowPassing passing_;
  std::vector<unsigned char> row_;
  std::int32_t current_ = -1;
};

constexpr std::int32_t kNoRowLeft = std::numeric_limits<std::int32_t>::max();

// One plan's output, filled line by line in the order the decoder gives their stored rows. When
// the plan keeps the decode order each output row goes to the sink at once; otherwise (lines
// that are output columns, or stored rows running upwards) the whole small output is assembled
// first and handed over at the end.
class PlannedOutput {
 public:
  PlannedOutput(const SamplingPlan& plan, RowSink& sink)
      : plan_(plan),
        sink_(sink),
        // The plan's stored rows are monotonic, so running upwards means visiting lines from
        // the last.
        upwards_(plan.storedRowOfLine().size() > 1 &&
                 plan.storedRowOfLine().front() > plan.storedRowOfLine().back()) {
    if (plan.rowsInDecodeOrder()) {
      row_.resize(static_cast<std::size_t>(plan.outputWidth()) * 3);
    } else {
      upright_ = std::make_unique<UprightPicture>(plan);
    }
  }

  // The stored row the next line comes from, or kNoRowLeft.
  std::int32_t nextRow() const {
    const std::vector<std::int32_t>& lines = plan_.storedRowOfLine();
    return filled_ < lines.size() ? lines[lineAt(filled_)] : kNoRowLeft;
  }

  // Fills every line that comes from stored row `index`, held in `stored`.
  void take(std::int32_t index, const unsigned char* stored) {
    while (nextRow() == index) {
      const std::size_t line = lineAt(filled_++);
      if (upright_) {
        upright_->fillLine(line, stored);
      } else {
        handOverRow(stored);
      }
    }
  }

  void finish() {
    if (upright_) upright_->handOver(sink_);
  }

 private:
  std::size_t lineAt(std::size_t n) const {
    return upwards_ ? plan_.storedRowOfLine().size() - 1 - n : n;
  }

  void handOverRow(const unsigned char* stored) {
    const std::vector<std::int32_t>& columns = plan_.storedColumnOfSample();
    for (std::size_t x = 0; x < columns.size(); ++x) {
      const unsigned char* from = stored + 3 * static_cast<std::size_t>(columns[x]);
      row_[3 * x] = from[0];
      row_[3 * x + 1] = from[1];
      row_[3 * x + 2] = from[2];
    }
    sink_.takeRow(row_.data());
  }

  const SamplingPlan& plan_;
  RowSink& sink_;
  const bool upwards_;
  std::vector<unsigned char> row_;           // an output row in decode order
  std::unique_ptr<UprightPicture> upright_;  // the output otherwise
  std::size_t filled_ = 0;
};

}  // namespace

void decodeSampled(JpegDecoder& decoder, const SamplingPlan& plan, RowSink& sink,
                   RowPassing passing) {
  decodeSampled(decoder, {&plan}, {&sink}, passing);
}

void decodeSampled(JpegDecoder& decoder, const std::vector<const SamplingPlan*>& plans,
                   const std::vector<RowSink*>& sinks, RowPassing passing) {
  DecodeSettings settings = DecodeSettings::sampling();
  std::vector<PlannedOutput> outputs;
  outputs.reserve(plans.size());
  for (std::size_t i = 0; i < plans.size(); ++i) {
    if (!plans[i]->rowsInDecodeOrder()) {
      settings.heldBeside += pictureBytes(plans[i]->outputWidth(), plans[i]->outputHeight());
    }
    outputs.emplace_back(*plans[i], *sinks[i]);
  }
  decoder.start(settings);
  RowReader reader(decoder, passing);
  for (;;) {
    std::int32_t next = kNoRowLeft;
    for (const PlannedOutput& output : outputs) next = std::min(next, output.nextRow());
    if (next == kNoRowLeft) break;
    const unsigned char* row = reader.rowAt(next);
    for (PlannedOutput& output : outputs) output.take(next, row);
  }
  for (PlannedOutput& output : outputs) output.finish();
  reader.finish();
}

}  // namespace velmora
