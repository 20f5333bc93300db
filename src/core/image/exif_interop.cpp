#include "core/image/exif_interop.h"

#include <cstdint>
#include <optional>

#include "core/image/exif_orientation.h"
#include "core/image/tiff_reader.h"

namespace velmora {

namespace {

constexpr std::size_t kSignatureSize = 6;
constexpr std::uint16_t kExifDirectoryTag = 0x8769;
constexpr std::uint16_t kInteropDirectoryTag = 0xA005;
constexpr std::uint16_t kInteropIndexTag = 0x0001;
constexpr std::uint16_t kTypeAscii = 2;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::uint16_t kTypeIfd = 13;

// The directory a pointer entry of `directory` leads to. Only the two fixed steps from IFD0 are
// followed, so no chain of directories can loop.
std::optional<std::uint64_t> subDirectory(const TiffReader& tiff, std::uint64_t directory,
                                          std::uint16_t tag) {
  const std::optional<std::uint64_t> entry = tiff.entryOf(directory, tag);
  if (!entry) return std::nullopt;
  const std::uint16_t type = tiff.u16(*entry + 2);
  if ((type != kTypeLong && type != kTypeIfd) || tiff.u32(*entry + 4) != 1) return std::nullopt;
  return tiff.u32(*entry + 8);
}

}  // namespace

bool exifMarksAdobeRgb(const unsigned char* payload, std::size_t size) {
  if (!isExifBlock(payload, size)) return false;
  TiffReader tiff(payload + kSignatureSize, size - kSignatureSize);
  if (!tiff.readByteOrder()) return false;
  const std::optional<std::uint64_t> exif = subDirectory(tiff, tiff.u32(4), kExifDirectoryTag);
  if (!exif) return false;
  const std::optional<std::uint64_t> interop = subDirectory(tiff, *exif, kInteropDirectoryTag);
  if (!interop) return false;
  const std::optional<std::uint64_t> entry = tiff.entryOf(*interop, kInteropIndexTag);
  if (!entry || tiff.u16(*entry + 2) != kTypeAscii) return false;
  // "R03" with or without its end byte sits in the entry's own value field.
  const std::uint32_t count = tiff.u32(*entry + 4);
  if (count < 3 || count > 4) return false;
  const std::uint64_t text = *entry + 8;
  return tiff.byte(text) == 'R' && tiff.byte(text + 1) == '0' && tiff.byte(text + 2) == '3';
}

}  // namespace velmora
