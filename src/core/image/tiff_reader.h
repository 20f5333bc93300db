#pragma once
// Reads the TIFF structure of an EXIF block: every offset is checked against its end in 64-bit
// arithmetic, so no value in the block can lead a read outside it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace velmora {

class TiffReader {
 public:
  static constexpr std::size_t kEntrySize = 12;

  TiffReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

  // Reads the byte order and the magic number; false when they are not TIFF's.
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

  bool littleEndian() const { return littleEndian_; }
  std::size_t size() const { return size_; }
  const unsigned char* at(std::uint64_t offset) const { return data_ + offset; }

  unsigned char byte(std::uint64_t offset) const { return data_[offset]; }
  std::uint16_t u16(std::uint64_t offset) const { return u16Of(data_ + offset); }
  std::uint32_t u32(std::uint64_t offset) const { return u32Of(data_ + offset); }

  // Numbers in the block's byte order, wherever their bytes are held.
  std::uint16_t u16Of(const unsigned char* p) const {
    return littleEndian_ ? static_cast<std::uint16_t>(p[0] | p[1] << 8)
                         : static_cast<std::uint16_t>(p[0] << 8 | p[1]);
  }

  std::uint32_t u32Of(const unsigned char* p) const {
    const std::uint32_t a = u16Of(p);
    const std::uint32_t b = u16Of(p + 2);
    return littleEndian_ ? (b << 16 | a) : (a << 16 | b);
  }

  // The `size` (2 or 4) bytes of a number in the block's byte order, for writing it anew.
  std::vector<unsigned char> bytesOf(std::uint32_t value, std::size_t size) const {
    std::vector<unsigned char> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
      const std::size_t shift = 8 * (littleEndian_ ? i : size - 1 - i);
      bytes[i] = static_cast<unsigned char>(value >> shift);
    }
    return bytes;
  }

  // The offset of the directory's entry for `tag`, or nothing when the directory holds none or
  // runs outside the block before it is found.
  std::optional<std::uint64_t> entryOf(std::uint64_t directory, std::uint16_t tag) const {
    if (!fits(directory, 2)) return std::nullopt;
    const std::uint64_t count = u16(directory);
    for (std::uint64_t i = 0; i < count; ++i) {
      const std::uint64_t entry = directory + 2 + i * kEntrySize;
      if (!fits(entry, kEntrySize)) return std::nullopt;
      if (u16(entry) == tag) return entry;
    }
    return std::nullopt;
  }

 private:
  const unsigned char* data_;
  std::size_t size_;
  bool littleEndian_ = true;
};

}  // namespace velmora
