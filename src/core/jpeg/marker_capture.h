#pragma once
// Keeps the segments of a file that its thumbnail may need (see SourceMarkers) while libjpeg
// reads the header, and passes over every other one unread: a file of many megabytes of
// segments costs no more memory than the bounded blocks kept.

#include <cstddef>
#include <cstdio>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "core/jpeg/source_markers.h"

namespace velmora {

class MarkerCapture {
 public:
  // Holds room for the largest segment, so that reading one inside libjpeg never allocates.
  MarkerCapture();
  // Makes the decoder hand its APP1 and APP2 segments to this keeper, which must outlive the
  // decoder.
  void readFrom(j_decompress_ptr cinfo);
  // Also keeps the XMP packet, the Photoshop (IPTC) blocks and the comments; before the header
  // is read.
  void keepMetadata(j_decompress_ptr cinfo);
  // Joins what the segments held once the header has been read.
  void headerRead();

  // What was kept; complete after headerRead.
  const SourceMarkers& markers() const { return markers_; }
  // The memory the keeper holds, for the decoder's budget.
  std::size_t bytesHeld() const;

 private:
  struct IccChunk {
    unsigned sequence;  // 1 to count
    unsigned count;     // the chunks the profile says it is split into
    std::size_t offset;
    std::size_t size;
  };

  static boolean readApp1Segment(j_decompress_ptr cinfo);
  static boolean readPhotoshopSegment(j_decompress_ptr cinfo);
  static boolean readComment(j_decompress_ptr cinfo);
  void keepWhole(j_decompress_ptr cinfo, std::size_t payload,
                 std::vector<std::vector<unsigned char>>& kept, bool photoshop);
  static boolean readIccSegment(j_decompress_ptr cinfo);
  bool joinIccChunks();

  SourceMarkers markers_;
  bool exifFound_ = false;
  bool metadataKept_ = false;
  bool xmpFound_ = false;
  std::size_t wholeSegmentBytes_ = 0;  // of the Photoshop blocks and comments kept
  std::vector<IccChunk> iccChunks_;
  std::vector<unsigned char> iccBytes_;  // the chunks' data, in the order the file holds them
};

}  // namespace velmora
