#pragma once
// Small JPEG files of every kind the thumbnail path meets, made with libjpeg in memory, and the
// byte surgery that turns them into the malformed files a user may hand the program. Shared by
// the tests and the fuzzer's seed generator; header-only so each can include it directly.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

// clang-format off
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
// clang-format on

namespace velmora::samples {

using Bytes = std::vector<unsigned char>;

enum class SampleColour {
  YCbCr,      // the usual colour photograph
  Grey,       // one component
  StoredRgb,  // three components coded as RGB, no colour transform
  Cmyk,       // Adobe CMYK
  Ycck,       // Adobe YCCK
};

struct SampleSpec {
  int width = 64;
  int height = 48;
  SampleColour colour = SampleColour::YCbCr;
  int lumaH = 2;  // sampling factors of the first component
  int lumaV = 2;
  int chromaH = 1;  // sampling factors of the other components
  int chromaV = 1;
  bool progressive = false;
  bool arithmetic = false;
  int restartRows = 0;
  int quality = 85;
  Bytes exif;  // APP1 payload after "Exif\0\0" (a TIFF block), none when empty
};

// A picture whose colours change across both axes, so a turned or mirrored thumbnail differs.
inline unsigned char samplePixel(int x, int y, int channel, int width, int height) {
  const int horizontal = x * 255 / (width > 1 ? width - 1 : 1);
  const int vertical = y * 255 / (height > 1 ? height - 1 : 1);
  switch (channel) {
    case 0:
      return static_cast<unsigned char>(horizontal);
    case 1:
      return static_cast<unsigned char>(vertical);
    case 2:
      return static_cast<unsigned char>((horizontal + vertical) / 2);
    default:
      return static_cast<unsigned char>(255 - horizontal / 2);
  }
}

inline Bytes makeJpeg(const SampleSpec& spec) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);

  cinfo.image_width = static_cast<JDIMENSION>(spec.width);
  cinfo.image_height = static_cast<JDIMENSION>(spec.height);
  int channels = 3;
  switch (spec.colour) {
    case SampleColour::Grey:
      channels = 1;
      cinfo.in_color_space = JCS_GRAYSCALE;
      break;
    case SampleColour::Cmyk:
    case SampleColour::Ycck:
      channels = 4;
      cinfo.in_color_space = JCS_CMYK;
      break;
    default:
      cinfo.in_color_space = JCS_RGB;
  }
  cinfo.input_components = channels;
  jpeg_set_defaults(&cinfo);
  if (spec.colour == SampleColour::StoredRgb) jpeg_set_colorspace(&cinfo, JCS_RGB);
  if (spec.colour == SampleColour::Ycck) jpeg_set_colorspace(&cinfo, JCS_YCCK);
  jpeg_set_quality(&cinfo, spec.quality, TRUE);
  cinfo.comp_info[0].h_samp_factor = spec.lumaH;
  cinfo.comp_info[0].v_samp_factor = spec.lumaV;
  for (int c = 1; c < cinfo.num_components; ++c) {
    cinfo.comp_info[c].h_samp_factor = spec.chromaH;
    cinfo.comp_info[c].v_samp_factor = spec.chromaV;
  }
  if (spec.progressive) jpeg_simple_progression(&cinfo);
  cinfo.arith_code = spec.arithmetic ? TRUE : FALSE;
  cinfo.restart_in_rows = spec.restartRows;
  jpeg_start_compress(&cinfo, TRUE);
  if (!spec.exif.empty()) {
    Bytes payload = {'E', 'x', 'i', 'f', 0, 0};
    payload.insert(payload.end(), spec.exif.begin(), spec.exif.end());
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, payload.data(),
                      static_cast<unsigned int>(payload.size()));
  }
  std::vector<unsigned char> row(static_cast<std::size_t>(spec.width) * channels);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < spec.width; ++x)
      for (int c = 0; c < channels; ++c)
        row[static_cast<std::size_t>(x) * channels + c] =
            samplePixel(x, y, channels == 1 ? 2 : c, spec.width, spec.height);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return out;
}

// ---- EXIF blocks (big-endian TIFF) ----

class TiffWriter {
 public:
  void u16(unsigned value) {
    bytes.push_back(static_cast<unsigned char>(value >> 8));
    bytes.push_back(static_cast<unsigned char>(value));
  }
  void u32(std::uint32_t value) {
    u16(value >> 16);
    u16(value & 0xFFFF);
  }
  // One 12-byte directory entry whose value (or offset) is a 32-bit field.
  void entry(unsigned tag, unsigned type, std::uint32_t count, std::uint32_t value) {
    u16(tag);
    u16(type);
    u32(count);
    u32(value);
  }
  void header(std::uint32_t firstIfd = 8) {
    bytes.insert(bytes.end(), {'M', 'M', 0, 42});
    u32(firstIfd);
  }
  Bytes bytes;
};

inline constexpr unsigned kOrientationTag = 0x0112;
inline constexpr unsigned kExifIfdTag = 0x8769;
inline constexpr unsigned kShort = 3;
inline constexpr unsigned kLong = 4;

// A short SHORT value sits left-aligned in the entry's 4-byte value field.
inline Bytes exifOrientation(unsigned orientation) {
  TiffWriter t;
  t.header();
  t.u16(1);
  t.entry(kOrientationTag, kShort, 1, orientation << 16);
  t.u32(0);
  return t.bytes;
}

// IFD0 names itself as the next directory, and its EXIF sub-directory points back at IFD0.
inline Bytes exifLoop() {
  TiffWriter t;
  t.header();
  t.u16(2);
  t.entry(kExifIfdTag, kLong, 1, 8);
  t.entry(kOrientationTag, kShort, 1, 6u << 16);
  t.u32(8);
  return t.bytes;
}

// Offsets and counts that point far outside the block.
inline Bytes exifOutOfRange() {
  TiffWriter t;
  t.header();
  t.u16(3);
  t.entry(kOrientationTag, kShort, 0x40000000u, 0xFFFFFFF0u);
  t.entry(kExifIfdTag, kLong, 1, 0x7FFFFFFFu);
  t.entry(0x010F, 2, 0xFFFFFFFFu, 0xFFFFFF00u);
  t.u32(0xFFFFFFFFu);
  return t.bytes;
}

// The first directory lies beyond the block, and claims 65535 entries.
inline Bytes exifBadFirstDirectory() {
  TiffWriter t;
  t.header(0xFFFFFFF8u);
  t.u16(0xFFFF);
  return t.bytes;
}

// ---- byte surgery on whole files ----

// The offset of the first marker FF <code> found by walking the segments from SOI, or npos.
inline std::size_t findMarker(const Bytes& jpeg, unsigned char code) {
  std::size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    if (jpeg[at + 1] == code) return at;
    if (jpeg[at + 1] == 0xDA) break;
    at += 2 + (static_cast<std::size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3]);
  }
  return std::string::npos;
}

inline std::size_t frameHeader(const Bytes& jpeg) {
  for (unsigned char code : {0xC0, 0xC1, 0xC2, 0xC9, 0xCA}) {
    const std::size_t at = findMarker(jpeg, code);
    if (at != std::string::npos) return at;
  }
  throw std::logic_error("sample has no frame header");
}

inline void put16(Bytes& bytes, std::size_t at, unsigned value) {
  bytes[at] = static_cast<unsigned char>(value >> 8);
  bytes[at + 1] = static_cast<unsigned char>(value);
}

inline Bytes withFrameType(Bytes jpeg, unsigned char sofCode) {
  jpeg[frameHeader(jpeg) + 1] = sofCode;
  return jpeg;
}

inline Bytes withPrecision(Bytes jpeg, unsigned bits) {
  jpeg[frameHeader(jpeg) + 4] = static_cast<unsigned char>(bits);
  return jpeg;
}

inline Bytes withFrameSize(Bytes jpeg, unsigned width, unsigned height) {
  const std::size_t sof = frameHeader(jpeg);
  put16(jpeg, sof + 5, height);
  put16(jpeg, sof + 7, width);
  return jpeg;
}

// Sampling factors (h << 4 | v) of the frame's components, first to last.
inline Bytes withSampling(Bytes jpeg, std::initializer_list<unsigned char> factors) {
  const std::size_t sof = frameHeader(jpeg);
  std::size_t component = 0;
  for (unsigned char f : factors) jpeg[sof + 10 + 1 + 3 * component++] = f;
  return jpeg;
}

inline Bytes cutAt(const Bytes& jpeg, std::size_t length) {
  return Bytes(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(length));
}

// The file up to the first scan header: everything a reader needs except the scan itself.
inline std::size_t scanHeaderOffset(const Bytes& jpeg) {
  const std::size_t at = findMarker(jpeg, 0xDA);
  if (at == std::string::npos) throw std::logic_error("sample has no scan");
  return at;
}

// A copy of the frame header between the end of the scan and the end-of-image marker: only a
// decoder that reads the file to its end meets it.
inline Bytes withFrameHeaderAfterScan(const Bytes& jpeg) {
  const std::size_t sof = frameHeader(jpeg);
  const std::size_t length = 2 + (static_cast<std::size_t>(jpeg[sof + 2]) << 8 | jpeg[sof + 3]);
  Bytes out(jpeg.begin(), jpeg.end() - 2);
  out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(sof),
             jpeg.begin() + static_cast<std::ptrdiff_t>(sof + length));
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

// Over-subscribes the first Huffman table: three codes of length 1 cannot exist.
inline Bytes withCorruptHuffmanTable(Bytes jpeg) {
  const std::size_t dht = findMarker(jpeg, 0xC4);
  if (dht == std::string::npos) throw std::logic_error("sample has no Huffman table");
  unsigned char* counts = &jpeg[dht + 5];
  int moved = 0;
  for (int length = 15; length > 0 && moved < 3; --length) {
    while (counts[length] > 0 && moved < 3) {
      --counts[length];
      ++moved;
    }
  }
  counts[0] = static_cast<unsigned char>(counts[0] + moved);
  return jpeg;
}

// What a written thumbnail's own markers say: its frame and whether the file ends whole.
struct FrameInfo {
  bool parsed = false;    // SOI, then segments up to a baseline frame header and a scan
  bool complete = false;  // and the last two bytes are the end-of-image marker
  unsigned width = 0;
  unsigned height = 0;
  unsigned components = 0;
};

inline FrameInfo readFrame(const Bytes& jpeg) {
  FrameInfo info;
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return info;
  const std::size_t sof = findMarker(jpeg, 0xC0);
  if (sof == std::string::npos || sof + 10 > jpeg.size() ||
      findMarker(jpeg, 0xDA) == std::string::npos)
    return info;
  info.parsed = true;
  info.height = static_cast<unsigned>(jpeg[sof + 5] << 8 | jpeg[sof + 6]);
  info.width = static_cast<unsigned>(jpeg[sof + 7] << 8 | jpeg[sof + 8]);
  info.components = jpeg[sof + 9];
  info.complete = jpeg[jpeg.size() - 2] == 0xFF && jpeg[jpeg.size() - 1] == 0xD9;
  return info;
}

inline const Bytes& soiEoi() {
  static const Bytes bytes = {0xFF, 0xD8, 0xFF, 0xD9};
  return bytes;
}

inline const Bytes& pngSignature() {
  static const Bytes bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0,    0,    0,
                              13,   'I', 'H', 'D', 'R',  0,    0,    0,    1,    0,    0,
                              0,    1,   8,   2,   0,    0,    0,    0x90, 0x77, 0x53, 0xDE};
  return bytes;
}

inline const Bytes& gifSignature() {
  static const Bytes bytes = {'G',  'I', 'F', '8', '9', 'a', 1,   0,   1,   0,
                              0x80, 0,   0,   0,   0,   0,   255, 255, 255, ';'};
  return bytes;
}

inline const Bytes& bmpSignature() {
  static const Bytes bytes = {'B', 'M', 58, 0, 0, 0, 0, 0, 0,  0, 54, 0, 0, 0, 40, 0, 0,   0, 1, 0,
                              0,   0,   1,  0, 0, 0, 1, 0, 24, 0, 0,  0, 0, 0, 4,  0, 0,   0, 0, 0,
                              0,   0,   0,  0, 0, 0, 0, 0, 0,  0, 0,  0, 0, 0, 0,  0, 255, 0};
  return bytes;
}

inline Bytes textBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

}  // namespace velmora::samples
