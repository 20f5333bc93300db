#include "core/image/exif_orientation.h"

#include <cstdint>
#include <cstring>

#include "core/image/tiff_reader.h"

namespace velmora {

namespace {

constexpr unsigned char kExifSignature[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::size_t kSignatureSize = sizeof kExifSignature;
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::size_t kEntrySize = TiffReader::kEntrySize;

}  // namespace

bool isExifBlock(const unsigned char* payload, std::size_t size) {
  return size >= kSignatureSize && std::memcmp(payload, kExifSignature, kSignatureSize) == 0;
}

int exifOrientation(const unsigned char* payload, std::size_t size) {
  if (!isExifBlock(payload, size)) return 1;
  TiffReader tiff(payload + kSignatureSize, size - kSignatureSize);
  if (!tiff.readByteOrder()) return 1;
  // Only IFD0 carries the tag; no chain of directories is followed, so no loop can form.
  const std::uint64_t ifd = tiff.u32(4);
  if (!tiff.fits(ifd, 2)) return 1;
  const std::uint64_t count = tiff.u16(ifd);
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t entry = ifd + 2 + i * kEntrySize;
    if (!tiff.fits(entry, kEntrySize)) return 1;
    if (tiff.u16(entry) != kOrientationTag) continue;
    const std::uint16_t type = tiff.u16(entry + 2);
    if (tiff.u32(entry + 4) < 1) return 1;
    std::uint32_t value = 0;
    if (type == kTypeShort) {
      value = tiff.u16(entry + 8);
    } else if (type == kTypeLong) {
      value = tiff.u32(entry + 8);
    } else {
      return 1;
    }
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

}  // namespace velmora
