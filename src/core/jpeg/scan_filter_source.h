#pragma once
// Hands libjpeg a progressive file without the scans a reduced decode does without: marker
// segments and the entropy-coded data of the scans it keeps pass through, a dropped scan's
// header and data are dropped unread (only searched for the next marker), so libjpeg never
// spends time decoding them. It reads from the source that was in place, whatever that is,
// swapping it back in for each refill.

#include <cstddef>
#include <cstdio>
#include <memory>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace velmora {

class ScanFilterSource {
 public:
  // Puts a filter in front of the decoder's source, just after the first scan's header has
  // been read; `owner` keeps it for as long as the decoder reads. It keeps the DC scans and
  // the first pass of every AC band that starts at or before zigzag index lastCoefficient
  // (0: the DC scans alone). AC refinement scans are always dropped: a refinement reads which
  // coefficients of its whole band are already non-zero, so it cannot follow a dropped band,
  // and its bits matter little to a picture averaged down.
  static void installIn(j_decompress_ptr cinfo, int lastCoefficient,
                        std::unique_ptr<ScanFilterSource>& owner);

 private:
  enum class Mode { Markers, PassEntropy, DropEntropy, Ended };

  ScanFilterSource(j_decompress_ptr cinfo, int lastCoefficient);

  // libjpeg knows only the source manager; the link leads back to its owner.
  struct Link {
    jpeg_source_mgr pub;
    ScanFilterSource* self;
  };

  static ScanFilterSource& of(j_decompress_ptr cinfo);

  bool refillInner();
  void terminateInner();
  int takeByte();
  void emit(int byte);
  void scanEntropy();
  void scanForMarker();
  void takeMarker(int code);
  bool dropsScan() const;
  boolean fill();
  void skip(long count);

  Link link_{};
  j_decompress_ptr cinfo_;
  jpeg_source_mgr* inner_;
  int lastCoefficient_;
  Mode mode_;
  std::vector<JOCTET> out_;
  std::vector<JOCTET> segment_;
};

}  // namespace velmora
