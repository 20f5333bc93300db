#pragma once
// The desktop's thumbnailer call: one source, one PNG at a path the desktop names.

#include <cstdint>
#include <string>
#include <vector>

#include "core/jpeg/decoder_memory.h"

namespace velmora {

// Renders the source's thumbnail, the longer side at most `limit` pixels (1 to
// kLargestCachePixels; a smaller picture keeps its size), area-averaged and upright, and
// writes it as a PNG to `output` in place: the file is created or emptied and written there,
// never renamed over, since the caller may read the very file it created. Nothing is written
// when the source cannot be read. Throws EFOpenError, EReadError or EJPEG naming the source,
// EFCreateError when the output cannot be opened, EWriteError when it cannot be written (it
// is then left empty). Returns what was left out of the thumbnail, and why (as
// CachePictures::warnings).
std::vector<std::string> writeThumbnailerOutput(const std::string& source,
                                                const std::string& output, std::int32_t limit,
                                                DecoderMemoryBudget& memory);

}  // namespace velmora
