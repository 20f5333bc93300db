#pragma once
// Watches a decode through libjpeg's progress monitor, which the library calls between rows
// and, while reading a file of many scans, between its parts: ends the decode when its run
// stops, and ends a file of more scans than any real photograph has.

#include <cstdio>

// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include "core/stop_signal.h"

namespace velmora {

// Progressive photographs have about 10 scans (libjpeg's own progression has 10, 6 for grey;
// other encoders stay near that), a sequential file one per component. A file of many empty
// scans makes libjpeg pass over the whole picture once per scan at almost no cost in bytes,
// so a few kilobytes could cost minutes; past this count a file ends as the error
// "Didn't expect more than one scan" (JERR_EOI_EXPECTED), the code libjpeg itself gives a
// sequential file with a scan too many.
inline constexpr int kMaxScans = 100;
inline constexpr int kTooManyScansCode = JERR_EOI_EXPECTED;

struct DecodeMonitor {
  jpeg_progress_mgr pub{};
  const StopSignal* stop = nullptr;
};

// Makes `monitor` watch the decoder's progress; it must live as long as the decode.
void installDecodeMonitor(j_decompress_ptr cinfo, DecodeMonitor& monitor, const StopSignal* stop);

// The monitor's check, for the places where libjpeg does not call it (reading input in
// buffered-image mode). Fatal errors jump to the current guard.
void checkDecodeProgress(j_decompress_ptr cinfo);

}  // namespace velmora
