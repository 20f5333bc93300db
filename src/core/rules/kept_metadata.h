#pragma once
// Which of the source's metadata a thumbnail keeps. The window keeps none: its thumbnails hold
// the JFIF header alone.

namespace velmora {

struct KeptMetadata {
  bool exif = false;      // rewritten: upright, the thumbnail's sides, no embedded thumbnail
  bool location = false;  // the EXIF's GPS directory; only together with exif
  bool xmp = false;       // rewritten likewise
  bool iptc = false;      // the Photoshop APP13 block, as it is
  bool comments = false;  // the COM segments, as they are
  bool date = false;      // the thumbnail's modification time is the source's

  // True when segments other than the EXIF block (which is always read, for its orientation)
  // are carried into the thumbnail.
  bool beyondExif() const { return xmp || iptc || comments; }
};

}  // namespace velmora
