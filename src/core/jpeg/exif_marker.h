#pragma once
// Keeps the first EXIF block of a file, which holds its orientation, and passes over every other
// APP1 segment unread: a file of many megabytes of APP1 segments costs no more memory than a
// file of one.

#include <cstddef>
#include <cstdio>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace velmora {

class ExifMarker {
 public:
  // Holds room for the largest segment, so that reading one inside libjpeg never allocates.
  ExifMarker();
  // Makes the decoder hand its APP1 segments to this keeper, which must outlive the decoder.
  void readFrom(j_decompress_ptr cinfo);

  // The first EXIF block's payload; empty while none has been seen.
  const std::vector<JOCTET>& block() const { return block_; }
  // The memory the keeper holds, for the decoder's budget.
  std::size_t bytesHeld() const { return block_.capacity(); }

 private:
  static boolean readSegment(j_decompress_ptr cinfo);

  std::vector<JOCTET> block_;
  bool found_ = false;
};

}  // namespace velmora
