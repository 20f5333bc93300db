#include "core/image/exif_orientation.h"

#include <cstdint>
#include <cstring>

namespace velmora {

namespace {

constexpr unsigned char kExifSignature[] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::size_t kSignatureSize = sizeof kExifSignature;
constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::size_t kEntrySize = 12;

// Reads the TIFF structure behind the signature; every offset is checked against its end in
// 64-bit arithmetic, so no value in the block can lead a read outside it.
class TiffReader {
 public:
  TiffReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

  bool readByteOrder() {
    if (size_ < 8) return false;
    if (data_[0] == 'I' && data_[1] == 'I') {
      littleEndian_ = true;
    } else if (data_[0] == 'M' && data_[1] == 'M') {
      littleEndian_ = false;
    } else {
      return false;
    }
    return u16(2) == 42;
  }

  bool fits(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  std::uint16_t u16(std::uint64_t offset) const {
    const unsigned char* p = data_ + offset;
    return littleEndian_ ? static_cast<std::uint16_t>(p[0] | p[1] << 8)
                         : static_cast<std::uint16_t>(p[0] << 8 | p[1]);
  }

  std::uint32_t u32(std::uint64_t offset) const {
    const std::uint32_t a = u16(offset);
    const std::uint32_t b = u16(offset + 2);
    return littleEndian_ ? (b << 16 | a) : (a << 16 | b);
  }

 private:
  const unsigned char* data_;
  std::size_t size_;
  bool littleEndian_ = true;
};

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
