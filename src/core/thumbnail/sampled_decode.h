#pragma once
// Decoding a source straight into its sampled, oriented picture, keeping only what the
// sampler takes: memory follows the output and one stored row, not the source's pixel count.

#include <cstdint>
#include <vector>

#include "core/image/nearest_sampling.h"
#include "core/image/rgb_image.h"
#include "core/image/row_sink.h"
#include "core/jpeg/jpeg_decoder.h"

namespace velmora {

enum class RowPassing {
  Skip,       // pass over unneeded rows without decoding them where that is exact
  DecodeAll,  // decode every row (the reference the skipping must equal)
};

// Starts a decoder whose header has been read with the sampling settings, decodes it to its end
// and hands the planned output to the sink. When the plan keeps the decode order, each output
// row goes to the sink as soon as its stored row is decoded; otherwise the output is assembled
// first and then handed over.
void decodeSampled(JpegDecoder& decoder, const SamplingPlan& plan, RowSink& sink,
                   RowPassing passing = RowPassing::Skip);

// The same for several outputs of one source from one decode: sinks[i] takes the output of
// plans[i], each exactly as a decode for it alone would give it. A stored row that any plan
// takes is decoded once; rows that none takes are passed over as for one plan.
void decodeSampled(JpegDecoder& decoder, const std::vector<const SamplingPlan*>& plans,
                   const std::vector<RowSink*>& sinks, RowPassing passing = RowPassing::Skip);

}  // namespace velmora
