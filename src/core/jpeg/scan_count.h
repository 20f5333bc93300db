#pragma once
// Counts the scans of the input still to come, reading it without consuming it, so that a file
// of too many scans is refused before libjpeg takes the coefficient array its decode needs. A
// few kilobytes can hold hundreds of empty scans of a picture claimed to be gigapixels: libjpeg
// would fill the whole array before the progress monitor saw the scan count.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "core/jpeg/file_source.h"

namespace velmora {

// Follows the marker structure of entropy-coded data fed to it in pieces of any size, starting
// just after a scan's header (where jpeg_read_header leaves the input).
class ScanCounter {
 public:
  void feed(const unsigned char* bytes, std::size_t count);
  // Scans whose header has been seen, the one before the first byte fed included.
  int scans() const { return scans_; }
  // True once the end-of-image marker has been seen.
  bool ended() const { return state_ == State::Ended; }

 private:
  enum class State { Entropy, MarkerByte, LengthHigh, LengthLow, Segment, Ended };

  void takeMarker(unsigned char code);

  State state_ = State::Entropy;
  unsigned char marker_ = 0;
  std::uint32_t remaining_ = 0;  // bytes of the current segment still to pass over
  int scans_ = 1;
};

// The scans of the input from where the header reading stopped: the bytes `source` holds, then
// those of `file` (when it is the source) past what it has read. Counting ends once `limit` is
// passed; a read that fails ends it too, leaving the failure to the decode.
int scansInInput(const jpeg_source_mgr& source, const FileSource* file, int limit);

}  // namespace velmora
