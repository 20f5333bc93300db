#pragma once
// The one decoder over libjpeg. Every libjpeg decoding call of the engine goes through it; a
// codec error becomes EJPEG with the library's message code, warnings are discarded, and
// libjpeg never ends the process.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/files/source_file.h"
#include "core/image/pixel_converter.h"
#include "core/jpeg/decode_limits.h"
#include "core/jpeg/source_markers.h"

namespace velmora {

// How a decode runs; one of three kinds.
struct DecodeSettings {
  enum class Kind {
    // The thumbnail decoder settings, which nearest sampling reads: full scale, float IDCT,
    // fancy upsampling, block smoothing; colour sources as RGB, greyscale sources dithered to
    // the 236-level grey table, four-component sources converted to RGB.
    Sampling,
    // For area averaging: scale eighths/8, integer IDCT, no dithering (greyscale comes out as
    // its own grey levels), every scan read.
    Averaging,
    // For area averaging of a progressive file at scale 2/8, from the first passes of its
    // lowest coefficients: the DC scans and the first pass of each AC band that starts within
    // the lowest five coefficients are read; refinement scans of AC bands and bands starting
    // further on are passed over without being decoded. AC coefficients may lack their lowest
    // bits, and no block smoothing guesses them.
    FirstPassScans,
    // For area averaging of a progressive file at scale 1/8, from its DC coefficients alone.
    // The AC scans are passed over without being decoded, and input is read only until every
    // component's DC coefficients are complete; finish() then reads nothing more, so damage
    // further on goes unnoticed. Chroma comes out flat per block. Only the DC coefficients are
    // kept, two bytes a block where a progressive decode keeps 128.
    DcScans,
  };
  Kind kind = Kind::Sampling;
  int eighths = 8;  // the scale of an Averaging decode, 1 to 8
  // Memory the caller holds beside the decode while it runs (a picture assembled before it is
  // handed over, to turn it upright), taken from the budget with the decoder's own share: one
  // request per file, so that no decode holds a share while it waits for another.
  std::uint64_t heldBeside = 0;

  static DecodeSettings sampling() { return {}; }
  static DecodeSettings averaging(int eighths) { return {Kind::Averaging, eighths, 0}; }
  static DecodeSettings firstPassScans() { return {Kind::FirstPassScans, 2, 0}; }
  static DecodeSettings dcScans() { return {Kind::DcScans, 1, 0}; }
};

// Rows come out as RGB bytes, top to bottom. A decode ends as DecodeStopped soon after the
// limits' stop signal is raised, and a file of more than kMaxScans scans ends as EJPEG 35.
class JpegDecoder {
 public:
  // Reads the open file as a stream, a buffer at a time; a failing read ends as EReadError.
  JpegDecoder(SourceFile file, const DecodeLimits& limits);
  // Reads bytes held in memory, which must outlive the decoder.
  JpegDecoder(const unsigned char* data, std::size_t size, const DecodeLimits& limits);
  ~JpegDecoder();
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  // Also keeps the source's XMP packet, Photoshop (IPTC) blocks and comments in markers(), for
  // a thumbnail that carries them; before readHeader.
  void keepMetadataSegments();
  // True when the source holds no byte at all: such a file is not parsed, it counts as 0 x 0.
  // May read the source's first bytes (EReadError when that fails).
  bool sourceIsEmpty();
  // Parses the headers up to the first scan. An arithmetic-coded frame is refused with code 1.
  void readHeader();
  std::int32_t width() const;
  std::int32_t height() const;
  // The EXIF orientation tag of the first EXIF block, 1 to 8; 1 when absent or unreadable.
  int exifOrientation() const;
  // The segments kept from the header: the first EXIF block and the ICC profile, and those
  // keepMetadataSegments asks for.
  const SourceMarkers& markers() const;
  bool progressive() const;
  // True for CMYK and YCCK files, whose colours come from multiplying ink by black.
  bool fourComponents() const;
  // True when a four-component file stores its ink inverted, as Adobe's software writes it.
  bool inkInverted() const;
  bool greyscale() const;
  // Four-component rows become RGB through `converter` (CMYK in the file's own inversion) in
  // place of the plain rule. Null, the default, keeps the plain rule; the converter must
  // outlive the decode. Call before start.
  void convertInkWith(const PixelConverter* converter);

  // Starts decoding, after readHeader. After this, rows are taken top to bottom with readRow
  // and skipRows. First takes the decoder's working memory (for a file of many scans, the whole
  // coefficient array) and the settings' heldBeside from the limits' budget, waiting until it
  // is free; libjpeg is held to its part. A file needing more than the whole budget ends as
  // EJPEG 49.
  void start(const DecodeSettings& settings);
  // The size of the rows the started decode gives: the picture's for Sampling, reduced by the
  // scale for the averaging kinds.
  std::int32_t outputWidth() const;
  std::int32_t outputHeight() const;
  // True when rows may be skipped with a result identical to decoding them; false for the
  // dithered greyscale path, whose error diffusion runs through every row.
  bool canSkipRows() const;
  // The index of the next row readRow would give.
  std::int32_t nextRow() const;
  // Fills outputWidth() * 3 bytes of RGB with the next row.
  void readRow(unsigned char* rgb);
  // Passes over count rows without giving them (decoding them when skipping is not exact).
  void skipRows(std::int32_t count);
  // Passes over the remaining rows and reads the file to its end.
  void finish();
  // True once the file's picture data has ended before the picture did: the rest is grey.
  bool dataEndedEarly() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace velmora
