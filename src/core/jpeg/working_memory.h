#pragma once
// The memory libjpeg will ask for while decoding, taken from the decoder budget before the
// decode starts.

#include <cstdint>
#include <cstdio>
#include <optional>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "core/jpeg/decoder_memory.h"
#include "core/jpeg/error_guard.h"

namespace velmora {

// What libjpeg will ask for while decoding the file whose header `c` holds, with the settings
// already chosen: its working rows and tables, the kept markers, and for a file of more than
// one scan (progressive, or components in separate scans), or one read in buffered-image mode,
// every coefficient of the picture until its last scan (only the DC coefficients when
// `dcOnly`: a decode of the DC scans alone keeps no more, see dc_coefficient_store.h).
std::uint64_t workingMemory(ErrorManager& err, jpeg_decompress_struct& c,
                            std::uint64_t keptMarkerBytes, bool dcOnly);

// Takes the decoder's share of the budget, with `heldBeside` bytes its caller holds while the
// decode runs, and holds libjpeg to its part: what the library would ask for beyond it ends
// this file as its own error, never another file's allocation. A file needing more than the
// whole budget ends as EJPEG 49.
void takeWorkingMemory(ErrorManager& err, jpeg_decompress_struct& c, std::uint64_t keptMarkerBytes,
                       bool dcOnly, std::uint64_t heldBeside, DecoderMemoryBudget& budget,
                       std::optional<DecoderMemoryBudget::Share>& memory);

}  // namespace velmora
