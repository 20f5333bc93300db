#include "core/jpeg/working_memory.h"

#include <jerror.h>

#include <algorithm>
#include <climits>

#include "core/jpeg/dc_coefficient_store.h"

namespace velmora {

namespace {

// Rows of libjpeg's working buffers per column of the picture (context rows of every component,
// upsampling and output rows, about 80 bytes a column for 4:2:0), with room to spare, and the
// tables and small buffers of any file.
constexpr std::uint64_t kWorkingBytesPerColumn = 256;
constexpr std::uint64_t kFixedWorkingBytes = 1 << 20;

std::uint64_t roundUp(std::uint64_t value, std::uint64_t step) {
  return (value + step - 1) / step * step;
}

}  // namespace

std::uint64_t workingMemory(ErrorManager& err, jpeg_decompress_struct& c,
                            std::uint64_t keptMarkerBytes, bool dcOnly) {
  bool manyScans = false;
  guarded(err, [&] { manyScans = jpeg_has_multiple_scans(&c); });
  std::uint64_t bytes = kFixedWorkingBytes + std::uint64_t{c.image_width} * kWorkingBytesPerColumn;
  // The kept EXIF block is already held and counts against the same limit.
  bytes += keptMarkerBytes;
  if (!manyScans && !c.buffered_image) return bytes;
  if (dcOnly) return bytes + dcCoefficientBytes(c);
  for (int i = 0; i < c.num_components; ++i) {
    const jpeg_component_info& component = c.comp_info[i];
    bytes +=
        roundUp(component.width_in_blocks, static_cast<std::uint64_t>(component.h_samp_factor)) *
        roundUp(component.height_in_blocks, static_cast<std::uint64_t>(component.v_samp_factor)) *
        sizeof(JBLOCK);
  }
  return bytes;
}

void takeWorkingMemory(ErrorManager& err, jpeg_decompress_struct& c, std::uint64_t keptMarkerBytes,
                       bool dcOnly, std::uint64_t heldBeside, DecoderMemoryBudget& budget,
                       std::optional<DecoderMemoryBudget::Share>& memory) {
  const std::uint64_t need = workingMemory(err, c, keptMarkerBytes, dcOnly);
  memory = need + heldBeside >= need ? budget.take(need + heldBeside) : std::nullopt;
  if (!memory) throw EJPEG(JERR_NO_BACKING_STORE);
  c.mem->max_memory_to_use = static_cast<long>(std::min<std::uint64_t>(need, LONG_MAX));
}

}  // namespace velmora
