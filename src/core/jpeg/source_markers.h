#pragma once
// The segments of a source kept beside its picture: what its thumbnail's colour, and the
// metadata a user asks to keep, are taken from.

#include <vector>

namespace velmora {

struct SourceMarkers {
  // The first EXIF block's APP1 payload ("Exif", two zero bytes, the TIFF structure); empty
  // when the source has none.
  std::vector<unsigned char> exif;
  // The embedded ICC profile, its APP2 chunks joined in sequence order; empty when there is
  // none or when the chunks seen do not make one whole profile.
  std::vector<unsigned char> iccProfile;
  // ICC chunks were seen but left no usable profile: missing, repeated or inconsistent chunks,
  // or more bytes than any real profile holds.
  bool iccProfileDamaged = false;

  // Kept only when the decoder is asked to keep the metadata segments:
  // the first XMP packet's APP1 payload (Adobe's namespace, a zero byte, the packet);
  std::vector<unsigned char> xmp;
  // the Photoshop APP13 payloads, which hold the IPTC block, in the file's order;
  std::vector<std::vector<unsigned char>> iptc;
  // the COM payloads, in the file's order.
  std::vector<std::vector<unsigned char>> comments;
};

}  // namespace velmora
