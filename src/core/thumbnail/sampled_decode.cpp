#include "core/thumbnail/sampled_decode.h"

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

void copyPixel(const unsigned char* from, unsigned char* to) {
  to[0] = from[0];
  to[1] = from[1];
  to[2] = from[2];
}

void streamRows(RowReader& reader, const SamplingPlan& plan, RowSink& sink) {
  const std::vector<std::int32_t>& columns = plan.storedColumnOfSample();
  std::vector<unsigned char> out(static_cast<std::size_t>(plan.outputWidth()) * 3);
  for (std::int32_t storedRow : plan.storedRowOfLine()) {
    const unsigned char* row = reader.rowAt(storedRow);
    for (std::size_t x = 0; x < columns.size(); ++x) {
      copyPixel(row + 3 * static_cast<std::size_t>(columns[x]), &out[3 * x]);
    }
    sink.takeRow(out.data());
  }
}

// Lines whose stored rows run upwards, or output columns, need the whole (small) output
// before its first row is known.
void assembleThenHandOver(RowReader& reader, const SamplingPlan& plan, RowSink& sink) {
  const std::vector<std::int32_t>& lines = plan.storedRowOfLine();
  UprightPicture out(plan);
  // Stored rows only run downwards, so the lines are visited in stored-row order: the plan's
  // rows are monotonic, either way.
  const bool upwards = lines.size() > 1 && lines.front() > lines.back();
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::size_t line = upwards ? lines.size() - 1 - n : n;
    out.fillLine(line, reader.rowAt(lines[line]));
  }
  out.handOver(sink);
}

}  // namespace

void decodeSampled(JpegDecoder& decoder, const SamplingPlan& plan, RowSink& sink,
                   RowPassing passing) {
  DecodeSettings settings = DecodeSettings::sampling();
  if (!plan.rowsInDecodeOrder())
    settings.heldBeside = pictureBytes(plan.outputWidth(), plan.outputHeight());
  decoder.start(settings);
  RowReader reader(decoder, passing);
  if (plan.rowsInDecodeOrder()) {
    streamRows(reader, plan, sink);
  } else {
    assembleThenHandOver(reader, plan, sink);
  }
  reader.finish();
}

}  // namespace velmora
