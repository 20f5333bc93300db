#pragma once
// Test inputs made with plain libjpeg, never with the engine under test: synthetic pictures
// encoded with chosen settings, the byte surgery that turns them into the malformed files a
// user may hand the program, and helpers to read back what the engine wrote. Shared by every
// test suite and the fuzzer's seed generator.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/image/rgb_image.h"

namespace velmora::testing {

using Bytes = std::vector<unsigned char>;

enum class FileColours { YCbCr, Rgb, Grey, Cmyk, Ycck };

struct EncodeOptions {
  FileColours colours = FileColours::YCbCr;
  int quality = 90;
  int lumaH = 2;  // sampling factors of the first component
  int lumaV = 2;
  int chromaH = 1;  // sampling factors of the other components
  int chromaV = 1;
  bool progressive = false;
  bool arithmetic = false;
  int restartInterval = 0;  // in MCUs
  int exifOrientation = 0;  // 0: no EXIF block
  bool exifLittleEndian = true;
  Bytes app1;  // a hand-made APP1 payload, written instead of the orientation block
  std::vector<std::pair<int, Bytes>> segments;  // more marker segments (code, payload) after it
};

// A picture with smooth gradients, sharp edges and noise, so that every row and column differs.
// For Grey the samples are one byte a pixel, for Cmyk and Ycck four (stored inverted, as Adobe
// software writes them), otherwise RGB.
Bytes testSamples(int width, int height, int components, unsigned seed = 1);

Bytes encodeJpeg(int width, int height, const EncodeOptions& options = {}, unsigned seed = 1);
Bytes encodeSamples(const Bytes& samples, int width, int height, const EncodeOptions& options);
// Writes encodeJpeg's picture to a file, making the folders above it.
void writeJpeg(const std::string& path, int width, int height, unsigned seed = 1);

// Decodes a file to RGB with libjpeg's plain defaults (for reading back written thumbnails).
RgbImage decodePlain(const Bytes& jpeg);

// ---- EXIF blocks: whole APP1 payloads, "Exif\0\0" and a TIFF block ----

// IFD0 holding only the orientation tag.
Bytes exifPayload(int orientation, bool littleEndian);
// IFD0 names itself as the next directory, and its EXIF sub-directory points back at IFD0.
Bytes exifLoop();
// Offsets and counts that point far outside the block.
Bytes exifOutOfRange();
// The first directory lies beyond the block, and claims 65535 entries.
Bytes exifBadFirstDirectory();
// A camera's block: IFD0 with orientation 6, sides 4000 x 3000, the maker's name "Velmora
// Camera" and pointers to an EXIF directory (ColorSpace uncalibrated, PixelXDimension and
// PixelYDimension, a 40-byte maker note, an interoperability directory saying "R03", Adobe RGB)
// and a GPS directory (latitude "N");
// IFD1 locating a 200-byte embedded thumbnail.
Bytes cameraExifPayload(bool littleEndian);
// An XMP packet (with Adobe's namespace) giving tiff:Orientation 6 and exif:PixelXDimension
// 4000 as attributes.
Bytes xmpPayload();

// ---- reading markers ----

struct Segment {
  int marker;     // the byte after 0xFF
  Bytes payload;  // without the length bytes
};
// The marker segments from SOI up to and including SOS.
std::vector<Segment> headerSegments(const Bytes& jpeg);

// The offset of the first marker FF <code> found by walking the segments from SOI, or npos.
std::size_t findMarker(const Bytes& jpeg, unsigned char code);
std::size_t frameHeader(const Bytes& jpeg);
std::size_t scanHeaderOffset(const Bytes& jpeg);

// What a written thumbnail's own markers say: its frame and whether the file ends whole.
struct FrameInfo {
  bool parsed = false;    // SOI, then segments up to a baseline frame header and a scan
  bool complete = false;  // and the last two bytes are the end-of-image marker
  unsigned width = 0;
  unsigned height = 0;
  unsigned components = 0;
};
FrameInfo readFrame(const Bytes& jpeg);

// ---- byte surgery on whole files ----

Bytes withFrameType(Bytes jpeg, unsigned char sofCode);
Bytes withPrecision(Bytes jpeg, unsigned bits);
Bytes withFrameSize(Bytes jpeg, unsigned width, unsigned height);
// Sampling factors (h << 4 | v) of the frame's components, first to last.
Bytes withSampling(Bytes jpeg, std::initializer_list<unsigned char> factors);
Bytes cutAt(const Bytes& jpeg, std::size_t length);
// A copy of the frame header between the end of the scan and the end-of-image marker: only a
// decoder that reads the file to its end meets it.
Bytes withFrameHeaderAfterScan(const Bytes& jpeg);
// Over-subscribes the first Huffman table: three codes of length 1 cannot exist.
Bytes withCorruptHuffmanTable(Bytes jpeg);

// Files of other kinds named .jpg.
const Bytes& soiEoi();
const Bytes& pngSignature();
const Bytes& gifSignature();
const Bytes& bmpSignature();
Bytes textBytes(const std::string& text);

// ---- files and folders ----

Bytes readBytes(const std::string& path);
std::string fileContents(const std::string& path);
void writeBytes(const std::string& path, const Bytes& bytes);
bool fileExists(const std::string& path);
std::set<std::string> folderEntries(const std::string& folder);

// A fresh folder, removed with its contents at the end of the test.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  std::string operator/(const std::string& name) const { return file(name); }
  // Writes a file of the given bytes, making the folders above it; returns its path.
  std::string write(const std::string& name, const std::string& bytes) const;
  std::string write(const std::string& name, const Bytes& bytes) const;

 private:
  std::string path_;
};

}  // namespace velmora::testing
