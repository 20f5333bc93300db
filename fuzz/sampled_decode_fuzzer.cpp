// libFuzzer target: the fast decode, which skips the source rows the sampler does not take,
// must give the very pixels (or the very error) of decoding every row, for any input,
// damaged files included.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "core/errors.h"
#include "core/image/exif_orientation.h"
#include "core/image/nearest_sampling.h"
#include "core/jpeg/jpeg_decoder.h"
#include "core/thumbnail/sampled_decode.h"
#include "fuzz_input.h"

namespace {

// The target's one decoder budget, kept well under the fuzzer's memory limit.
velmora::DecoderMemoryBudget decoderMemory([] { return std::uint64_t{512} << 20; });

constexpr std::int64_t kMaxPixels = 1 << 21;

struct Decoded {
  std::optional<velmora::RgbImage> picture;
  std::string error;
};

Decoded decode(const std::uint8_t* data, std::size_t size, const velmora::SizingRequest& sizing,
               velmora::RowPassing passing) {
  Decoded result;
  try {
    velmora::JpegDecoder decoder(data, size, velmora::DecodeLimits{decoderMemory});
    decoder.readHeader();
    if (static_cast<std::int64_t>(decoder.width()) * decoder.height() > kMaxPixels) return result;
    const int orientation = decoder.exifOrientation();
    const bool swap = velmora::orientationSwapsSides(orientation);
    const auto decided = velmora::Decide(swap ? decoder.height() : decoder.width(),
                                         swap ? decoder.width() : decoder.height(), sizing);
    if (!decided) return result;
    const std::int32_t width = std::max(decided->width, 1);
    const std::int32_t height = std::max(decided->height, 1);
    const velmora::SamplingPlan plan(decoder.width(), decoder.height(), orientation, width, height);
    velmora::ImageSink sink(width, height);
    velmora::decodeSampled(decoder, plan, sink, passing);
    result.picture = sink.take();
  } catch (const velmora::Error& e) {
    result.error = e.what();
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < velmora::fuzzing::kSettingsBytes + 1) return 0;
  const velmora::SizingRequest sizing = velmora::fuzzing::sizingFromSettings(data);
  data += velmora::fuzzing::kSettingsBytes;
  size -= velmora::fuzzing::kSettingsBytes;
  const Decoded fast = decode(data, size, sizing, velmora::RowPassing::Skip);
  const Decoded full = decode(data, size, sizing, velmora::RowPassing::DecodeAll);
  if (fast.error != full.error || fast.picture.has_value() != full.picture.has_value())
    std::abort();
  if (fast.picture && fast.picture->pixels != full.picture->pixels) std::abort();
  return 0;
}
