#include "core/jpeg/decode_monitor.h"

#include <jerror.h>

#include "core/jpeg/error_guard.h"

namespace velmora {

namespace {

// Called inside libjpeg; an error jumps from here to the guard that entered the library, so
// this frame holds no object with a destructor.
void monitorProgress(j_common_ptr cinfo) {
  checkDecodeProgress(reinterpret_cast<j_decompress_ptr>(cinfo));
}

}  // namespace

void installDecodeMonitor(j_decompress_ptr cinfo, DecodeMonitor& monitor, const StopSignal* stop) {
  monitor.stop = stop;
  monitor.pub.progress_monitor = monitorProgress;
  cinfo->progress = &monitor.pub;
}

void checkDecodeProgress(j_decompress_ptr cinfo) {
  const auto& monitor = *reinterpret_cast<const DecodeMonitor*>(cinfo->progress);
  if (monitor.stop != nullptr && monitor.stop->raised()) {
    errorManagerOf(reinterpret_cast<j_common_ptr>(cinfo)).stopped = true;
    ERREXIT(cinfo, JERR_NOTIMPL);
  }
  if (cinfo->input_scan_number > kMaxScans) ERREXIT(cinfo, kTooManyScansCode);
}

}  // namespace velmora
