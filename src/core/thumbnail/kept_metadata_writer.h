#pragma once
// The source's metadata a thumbnail carries, written into its file.

#include <string>
#include <vector>

#include "core/jpeg/jpeg_encoder.h"
#include "core/jpeg/source_markers.h"
#include "core/rules/kept_metadata.h"
#include "core/rules/thumbnail_sizing.h"

namespace velmora {

// Writes the segments `keep` asks for after the JFIF header, in the order EXIF, XMP, IPTC,
// comments: EXIF and XMP rewritten for a thumbnail of `size` (upright, its sides, no embedded
// thumbnail, no location unless kept, saying sRGB when `coloursMadeSrgb`), the others as the
// source holds them. Returns the
// warnings of what had to be left out; a source without a kind simply gives none of it.
std::vector<std::string> writeKeptMetadata(JpegEncoder& encoder, const SourceMarkers& markers,
                                           const KeptMetadata& keep, PixelSize size,
                                           bool coloursMadeSrgb);

}  // namespace velmora
