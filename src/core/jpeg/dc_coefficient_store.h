#pragma once
// Keeps a progressive file's coefficients in two bytes a block while only its DC scans are read.
//
// libjpeg keeps every coefficient of a progressive picture, 128 bytes a block, until the last
// scan: 54 MB for an 18-megapixel photo, though a decode of the DC scans alone writes and reads
// one coefficient a block. libjpeg reaches that array only through its memory manager's
// virtual-array calls, which hand out a few block rows at a time (made so that the array may
// live elsewhere, such as on disk). Here the array lives as one coefficient a block, and the
// rows handed out are whole blocks in a small window whose other 63 coefficients stay zero.

#include <cstdint>
#include <cstdio>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace velmora {

// Makes the decoder keep its coefficient arrays as DC coefficients alone. Only for a decode
// that never sees an AC scan, set up before jpeg_start_decompress.
void keepDcCoefficientsOnly(j_decompress_ptr cinfo);

// The memory the arrays take then, for the file whose header `c` holds: one coefficient a
// block, and the window of whole blocks of each component.
std::uint64_t dcCoefficientBytes(const jpeg_decompress_struct& c);

}  // namespace velmora
