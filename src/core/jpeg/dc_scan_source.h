#pragma once
// Hands libjpeg the file without its AC scans: marker segments and the entropy-coded data of
// DC scans pass through, an AC scan's header and data are dropped unread (only searched for
// the next marker), so libjpeg never spends time decoding them. It reads from the source that
// was in place, whatever that is, swapping it back in for each refill.

#include <cstddef>
#include <cstdio>
#include <memory>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace velmora {

class DcScanSource {
 public:
  // Puts a filter in front of the decoder's source, just after the first scan's header has
  // been read; `owner` keeps it for as long as the decoder reads.
  static void installIn(j_decompress_ptr cinfo, std::unique_ptr<DcScanSource>& owner);

 private:
  enum class Mode { Markers, PassEntropy, DropEntropy, Ended };

  explicit DcScanSource(j_decompress_ptr cinfo);

  // libjpeg knows only the source manager; the link leads back to its owner.
  struct Link {
    jpeg_source_mgr pub;
    DcScanSource* self;
  };

  static DcScanSource& of(j_decompress_ptr cinfo);

  bool refillInner();
  void terminateInner();
  int takeByte();
  void emit(int byte);
  void scanEntropy();
  void scanForMarker();
  void takeMarker(int code);
  boolean fill();
  void skip(long count);

  Link link_{};
  j_decompress_ptr cinfo_;
  jpeg_source_mgr* inner_;
  Mode mode_;
  std::vector<JOCTET> out_;
  std::vector<JOCTET> segment_;
};

}  // namespace velmora
