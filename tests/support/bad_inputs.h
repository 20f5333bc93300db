#pragma once
// The table of malformed and hostile files: what each one is and the one outcome it must end
// in. The engine's tests run every row; the command-line tool and the window run a few, for
// what they add: their log, exit status and error box.

#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/rules/thumbnail_sizing.h"
#include "jpeg_fixtures.h"

namespace velmora::testing {

enum class Outcome { Made, Refused, Failed };

struct BadInput {
  std::string name;
  std::function<Bytes()> bytes;
  Outcome outcome;
  std::string errorText;  // for Failed
  SizingRequest sizing = {SizingMode::Rate, 50, 0, 0};
  std::vector<std::string> cliSizing = {"--rate", "50"};  // the same request for velmora-thumb
  PixelSize made = {32, 24};                              // the thumbnail's size for Made
};

// gtest names a failing row by this instead of its bytes.
inline void PrintTo(const BadInput& row, std::ostream* out) { *out << row.name; }

// The good picture every row starts from.
inline const Bytes& plain() {
  static const Bytes bytes = encodeJpeg(64, 48);
  return bytes;
}

inline Bytes progressive() {
  EncodeOptions options;
  options.progressive = true;
  return encodeJpeg(64, 48, options);
}

inline Bytes withExif(Bytes app1) {
  EncodeOptions options;
  options.app1 = std::move(app1);
  return encodeJpeg(64, 48, options);
}

inline BadInput jpegError(std::string name, std::function<Bytes()> bytes, int code) {
  return {std::move(name), std::move(bytes), Outcome::Failed,
          "JPEG error #" + std::to_string(code)};
}

inline BadInput made(std::string name, std::function<Bytes()> bytes) {
  return {std::move(name), std::move(bytes), Outcome::Made, ""};
}

inline std::vector<BadInput> badInputs() {
  std::vector<BadInput> rows = {
      {"zero_bytes", [] { return Bytes{}; }, Outcome::Refused, ""},
      jpegError(
          "png_named_jpg", [] { return pngSignature(); }, 53),
      jpegError(
          "gif_named_jpg", [] { return gifSignature(); }, 53),
      jpegError(
          "bmp_named_jpg", [] { return bmpSignature(); }, 53),
      jpegError(
          "text_named_jpg", [] { return textBytes("not a picture\n"); }, 53),
      jpegError(
          "one_byte", [] { return Bytes{0xFF}; }, 53),
      jpegError(
          "soi_eoi_only", [] { return soiEoi(); }, 51),
      jpegError(
          "soi_only", [] { return cutAt(plain(), 2); }, 51),
      jpegError(
          "cut_inside_frame_header", [] { return cutAt(plain(), frameHeader(plain()) + 3); }, 11),
      jpegError(
          "cut_after_frame_header", [] { return cutAt(plain(), findMarker(plain(), 0xC4)); }, 59),
      jpegError(
          "cut_before_scan", [] { return cutAt(plain(), scanHeaderOffset(plain())); }, 59),
      made("cut_inside_scan", [] { return cutAt(plain(), scanHeaderOffset(plain()) + 40); }),
      made("cut_at_end_of_scan", [] { return cutAt(plain(), plain().size() - 2); }),
      made("progressive_cut_inside_scans",
           [] {
             const Bytes whole = progressive();
             return cutAt(whole, whole.size() / 2);
           }),
      jpegError(
          "lossless_frame", [] { return withFrameType(plain(), 0xC3); }, 60),
      jpegError(
          "hierarchical_frame", [] { return withFrameType(plain(), 0xC5); }, 60),
      jpegError(
          "hierarchical_lossless_frame", [] { return withFrameType(plain(), 0xC7); }, 60),
      jpegError(
          "arithmetic_coding",
          [] {
            EncodeOptions options;
            options.arithmetic = true;
            return encodeJpeg(64, 48, options);
          },
          1),
      jpegError(
          "precision_12_bits", [] { return withPrecision(plain(), 12); }, 15),
      jpegError(
          "precision_16_bits", [] { return withPrecision(plain(), 16); }, 15),
      jpegError(
          "width_0", [] { return withFrameSize(plain(), 0, 48); }, 32),
      jpegError(
          "height_0", [] { return withFrameSize(plain(), 64, 0); }, 32),
      jpegError(
          "width_65501", [] { return withFrameSize(plain(), 65501, 48); }, 41),
      jpegError(
          "height_65535", [] { return withFrameSize(plain(), 64, 65535); }, 41),
      jpegError(
          "sampling_factor_0", [] { return withSampling(plain(), {0x00}); }, 18),
      jpegError(
          "sampling_factor_15", [] { return withSampling(plain(), {0xFF}); }, 18),
      jpegError(
          "sampling_blocks_above_10",
          [] {
            return withSampling(plain(), {0x44, 0x44, 0x44});
          },
          13),
      jpegError(
          "sampling_fractional",
          [] {
            return withSampling(plain(), {0x44, 0x31, 0x11});
          },
          38),
      made("sampling_chroma_above_luma",
           [] {
             return withSampling(plain(), {0x11, 0x22, 0x11});
           }),
      jpegError(
          "second_frame_header_after_scan", [] { return withFrameHeaderAfterScan(plain()); }, 58),
      jpegError(
          "huffman_table_over_subscribed", [] { return withCorruptHuffmanTable(plain()); }, 8),

      made("exif_offsets_out_of_range", [] { return withExif(exifOutOfRange()); }),
      made("exif_first_directory_out_of_range", [] { return withExif(exifBadFirstDirectory()); }),
      made("exif_cut_short", [] { return withExif(cutAt(exifPayload(6, false), 19)); }),
  };
  // The loop lies beyond the first directory, whose orientation (6) still turns the picture.
  BadInput loop = made("exif_loop", [] { return withExif(exifLoop()); });
  loop.made = {24, 32};
  rows.push_back(loop);
  // A claimed 65000 x 65000 picture with the data of a 64 x 48 one: everything after the data
  // decodes as flat grey, and memory must not follow the claimed size.
  BadInput huge = made("claims_65000_square", [] { return withFrameSize(plain(), 65000, 65000); });
  huge.sizing = {SizingMode::Fit, 0, 100, 100};
  huge.cliSizing = {"--fit", "100x100"};
  huge.made = {100, 100};
  rows.push_back(huge);
  // A progressive decoder needs every coefficient of the claimed picture at once; past the
  // decoder's memory limit that is a codec error, not an exhausted machine.
  rows.push_back(jpegError(
      "progressive_claims_65000_square", [] { return withFrameSize(progressive(), 65000, 65000); },
      49));
  return rows;
}

// The rows of the table with these names, in the table's order.
inline std::vector<BadInput> badInputsNamed(const std::set<std::string>& names) {
  std::vector<BadInput> chosen;
  for (BadInput& row : badInputs()) {
    if (names.count(row.name) != 0) chosen.push_back(std::move(row));
  }
  return chosen;
}

// Names a file system allows and a careless program mangles: they must reach the disk and the
// log line byte for byte.
inline const std::vector<std::string> kAwkwardNames = {
    "with space.jpg",  "line\nbreak.jpg",     "carriage\rreturn.jpg", "quote\"s'.jpg",
    "缩略图 照片.jpg", "bad\xff\xfeutf8.jpg", "back\\slash.jpg",      "-dash-first.jpg",
    "%s%n.jpg",        "tab\tname.JPEG"};

}  // namespace velmora::testing
