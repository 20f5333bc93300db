#include "core/image/exif_orientation.h"

#include <gtest/gtest.h>

#include "jpeg_fixtures.h"

namespace velmora {
namespace {

using testing::exifPayload;

int orientationOf(const std::vector<unsigned char>& payload) {
  return exifOrientation(payload.data(), payload.size());
}

// Byte offsets inside exifPayload's block: the TIFF header starts after the 6-byte signature.
constexpr std::size_t kIfdOffset = 6 + 4;
constexpr std::size_t kEntryCount = 6 + 8;
constexpr std::size_t kEntryType = 6 + 10 + 2;
constexpr std::size_t kEntryValue = 6 + 10 + 8;

std::vector<unsigned char> changed(std::vector<unsigned char> payload, std::size_t at,
                                   std::initializer_list<unsigned char> bytes) {
  for (unsigned char b : bytes) payload.at(at++) = b;
  return payload;
}

TEST(ExifOrientation, ReadsEveryTagValueInBothByteOrders) {
  for (bool littleEndian : {true, false}) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
      EXPECT_EQ(orientationOf(exifPayload(orientation, littleEndian)), orientation)
          << orientation << (littleEndian ? " II" : " MM");
    }
  }
}

TEST(ExifOrientation, LongValueIsAccepted) {
  const auto p = changed(exifPayload(1, true), kEntryType, {4, 0});
  EXPECT_EQ(orientationOf(changed(p, kEntryValue, {6, 0, 0, 0})), 6);
}

struct BrokenCase {
  const char* name;
  std::vector<unsigned char> payload;
};

TEST(ExifOrientation, BrokenBlocksMeanNoTurn) {
  const std::vector<unsigned char> good = exifPayload(6, true);
  const BrokenCase cases[] = {
      {"empty", {}},
      {"signature only", {'E', 'x', 'i', 'f', 0, 0}},
      {"not exif", changed(good, 0, {'X'})},
      {"unknown byte order", changed(good, 6, {'I', 'M'})},
      {"wrong magic number", changed(good, 8, {43})},
      {"ifd beyond the block", changed(good, kIfdOffset, {0xF0, 0xFF, 0xFF, 0xFF})},
      {"ifd offset wraps", changed(good, kIfdOffset, {0xFE, 0xFF, 0xFF, 0xFF})},
      {"more entries than bytes",
       changed(changed(good, 6 + 10, {0x13, 0x01}), kEntryCount, {0xFF, 0xFF})},
      {"cut inside the entry", std::vector<unsigned char>(good.begin(), good.begin() + 22)},
      {"value zero", changed(good, kEntryValue, {0, 0})},
      {"value nine", changed(good, kEntryValue, {9, 0})},
      {"text type", changed(good, kEntryType, {2, 0})},
      {"zero count", changed(good, kEntryType + 2, {0, 0, 0, 0})},
      {"no orientation tag", changed(good, 6 + 10, {0x13, 0x01})},
  };
  for (const BrokenCase& c : cases) {
    EXPECT_EQ(orientationOf(c.payload), 1) << c.name;
  }
}

}  // namespace
}  // namespace velmora
