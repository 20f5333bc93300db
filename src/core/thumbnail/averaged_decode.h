#pragma once
// Decoding a source into its area-averaged, oriented thumbnail: decoded at the smallest DCT
// scale that still leaves at least twice the thumbnail's size, then averaged down. Where the
// file is progressive, a decode at 1/8 reads the DC scans alone, one at 2/8 the first passes of
// the lowest coefficients.

#include <cstdint>
#include <vector>

#include "core/jpeg/jpeg_decoder.h"
#include "core/rules/thumbnail_sizing.h"
#include "core/thumbnail/sampled_decode.h"

namespace velmora {

// How a thumbnail covers the picture: all of it, or the centre cut with its own proportions.
enum class Framing { Whole, CentreCut };

// Starts a decoder whose header has been read with the averaging settings, decodes it and hands
// the thumbnail of outputWidth x outputHeight, as displayed under the EXIF orientation, to the
// sink. A centre cut is taken from the decoded picture and averaged in the same box.
void decodeAveraged(JpegDecoder& decoder, int orientation, std::int32_t outputWidth,
                    std::int32_t outputHeight, RowSink& sink, Framing framing = Framing::Whole);

// One of several thumbnails of an averaged decode: its size as displayed, how it covers the
// picture, and where its rows go.
struct AveragedOutput {
  PixelSize size;
  Framing framing = Framing::Whole;
  RowSink* sink = nullptr;
};

// The same for several thumbnails of one source from one decode, at the scale the most demanding
// of them needs. Each is averaged from a larger whole thumbnail at least twice its size, as
// stored, where there is one (for a centre cut, one on whose pixel edges the cut falls), else
// from the decoded rows.
void decodeAveraged(JpegDecoder& decoder, int orientation,
                    const std::vector<AveragedOutput>& outputs);

}  // namespace velmora
