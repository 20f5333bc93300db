#pragma once
// The one wrapper over libjpeg. Every libjpeg call of the engine goes through these two classes;
// a codec error becomes EJPEG with the library's message code, warnings are discarded, and
// libjpeg never ends the process.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/files/source_file.h"

namespace velmora {

// Decodes a JPEG with the thumbnail decoder settings: full scale, float IDCT,
// fancy upsampling, block smoothing; colour sources as RGB, greyscale sources dithered to the
// 236-level grey table, four-component sources converted to RGB. Rows come out as RGB bytes.
class JpegDecoder {
 public:
  // Reads the open file as a stream, a buffer at a time; a failing read ends as EReadError.
  explicit JpegDecoder(SourceFile file);
  // Reads bytes held in memory, which must outlive the decoder.
  JpegDecoder(const unsigned char* data, std::size_t size);
  ~JpegDecoder();
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  // True when the source holds no byte at all: such a file is not parsed, it counts as 0 x 0.
  // May read the source's first bytes (EReadError when that fails).
  bool sourceIsEmpty();
  // Parses the headers up to the first scan. An arithmetic-coded frame is refused with code 1.
  void readHeader();
  std::int32_t width() const;
  std::int32_t height() const;
  // The EXIF orientation tag of the first EXIF block, 1 to 8; 1 when absent or unreadable.
  int exifOrientation() const;

  // Starts decoding. After this, rows are taken top to bottom with readRow and skipRows.
  // First takes the decoder's working memory (for a file of many scans, the whole coefficient
  // array) from the process's decoder budget, waiting until it is free; libjpeg is held to that
  // share. A file needing more than the whole budget ends as EJPEG 49.
  void start();
  // True when rows may be skipped with a result identical to decoding them; false for the
  // dithered greyscale path, whose error diffusion runs through every row.
  bool canSkipRows() const;
  // The index of the next row readRow would give.
  std::int32_t nextRow() const;
  // Fills width() * 3 bytes of RGB with the next row.
  void readRow(unsigned char* rgb);
  // Passes over count rows without giving them (decoding them when skipping is not exact).
  void skipRows(std::int32_t count);
  // Passes over the remaining rows and reads the file to its end.
  void finish();

  // Decoding for area averaging, instead of start(): no dithering (greyscale comes out as its
  // own grey levels), integer IDCT. Rows are then outputWidth() wide and outputHeight() high.
  // Both starts take their working memory from the decoder budget as start() does.
  bool progressive() const;
  // True for CMYK and YCCK files, whose colours come from multiplying ink by black.
  bool fourComponents() const;
  // Starts decoding at scale eighths/8 (1 to 8), reading every scan.
  void startScaled(int eighths);
  // Starts decoding a progressive file at scale 1/8 from its DC coefficients alone. The AC
  // scans are passed over without being decoded, and input is read only until every
  // component's DC coefficients are complete; finish() then reads nothing more, so damage
  // further on goes unnoticed. Chroma comes out flat per block.
  void startFromDcScans();
  std::int32_t outputWidth() const;
  std::int32_t outputHeight() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Encodes an RGB picture with the thumbnail encoder settings: quality 90 with baseline tables,
// float DCT, YCbCr 4:2:0, standard Huffman tables, JFIF 1.01 with density unit 0 and 1 x 1,
// and no other markers. Rows go in top to bottom; the file is built in memory.
class JpegEncoder {
 public:
  JpegEncoder(std::int32_t width, std::int32_t height);
  ~JpegEncoder();
  JpegEncoder(const JpegEncoder&) = delete;
  JpegEncoder& operator=(const JpegEncoder&) = delete;

  // Takes width * 3 bytes of RGB.
  void writeRow(const unsigned char* rgb);
  // Ends the file after the last row and hands over its bytes.
  std::vector<unsigned char> finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace velmora
