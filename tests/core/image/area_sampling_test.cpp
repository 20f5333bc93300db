#include "core/image/area_sampling.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace velmora {
namespace {

class CollectedRows : public RowSink {
 public:
  void takeRow(const unsigned char* rgb) override { rows.emplace_back(rgb, rgb + width * 3); }
  std::size_t width = 0;
  std::vector<std::vector<unsigned char>> rows;
};

std::vector<unsigned char> greyRow(const std::vector<unsigned char>& levels) {
  std::vector<unsigned char> rgb;
  for (unsigned char level : levels) rgb.insert(rgb.end(), {level, level, level});
  return rgb;
}

TEST(AreaReducer, WeighsEdgePixelsByTheFractionCovered) {
  CollectedRows out;
  out.width = 2;
  AreaReducer reducer(3, 1, 2, 1, out);
  reducer.takeRow(greyRow({0, 90, 180}).data());
  // Each output pixel covers one and a half source pixels: (0 + 90 / 2) / 1.5 and
  // (90 / 2 + 180) / 1.5.
  ASSERT_EQ(out.rows.size(), 1u);
  EXPECT_EQ(out.rows[0], greyRow({30, 150}));
}

TEST(AreaReducer, AveragesDownTheRowsAndHandsEachRowOverWhenComplete) {
  CollectedRows out;
  out.width = 1;
  AreaReducer reducer(1, 5, 1, 2, out);
  const unsigned char levels[] = {0, 10, 20, 30, 41};
  for (int y = 0; y < 3; ++y) reducer.takeRow(greyRow({levels[y]}).data());
  // Row 2 is shared half and half; the first output row is complete with it.
  ASSERT_EQ(out.rows.size(), 1u);
  EXPECT_EQ(out.rows[0], greyRow({8}));  // (0 + 10 + 20 / 2) / 2.5
  for (int y = 3; y < 5; ++y) reducer.takeRow(greyRow({levels[y]}).data());
  ASSERT_EQ(out.rows.size(), 2u);
  EXPECT_EQ(out.rows[1], greyRow({32}));  // (20 / 2 + 30 + 41) / 2.5 = 32.4, rounded once
}

TEST(AreaReducer, OnePixelStripesBecomeFlatGrey) {
  constexpr int kWidth = 101;
  std::vector<unsigned char> stripes;
  for (int x = 0; x < kWidth; ++x) stripes.push_back(x % 2 == 0 ? 0 : 255);
  CollectedRows out;
  out.width = 10;
  AreaReducer reducer(kWidth, 3, 10, 1, out);
  for (int y = 0; y < 3; ++y) reducer.takeRow(greyRow(stripes).data());
  ASSERT_EQ(out.rows.size(), 1u);
  for (unsigned char value : out.rows[0]) EXPECT_LT(std::abs(value - 128), 8);
}

// Sides with no common divisor make the largest totals: past 2^23 the division needs more than
// 64 bits, and a flat picture must still come out at its own level.
TEST(AreaReducer, FlatPicturesKeepTheirLevelAtEveryTotal) {
  struct Case {
    std::int32_t width, height, outputWidth, outputHeight;
  };
  for (const Case& c : {Case{6, 4, 3, 2}, Case{1601, 999, 800, 500}, Case{4099, 4097, 1, 1}}) {
    for (const unsigned char level : {1, 128, 255}) {
      SCOPED_TRACE(std::to_string(c.width) + " " + std::to_string(int(level)));
      CollectedRows out;
      out.width = static_cast<std::size_t>(c.outputWidth);
      AreaReducer reducer(c.width, c.height, c.outputWidth, c.outputHeight, out);
      const std::vector<unsigned char> row(static_cast<std::size_t>(c.width) * 3, level);
      for (std::int32_t y = 0; y < c.height; ++y) reducer.takeRow(row.data());
      ASSERT_EQ(out.rows.size(), static_cast<std::size_t>(c.outputHeight));
      for (const std::vector<unsigned char>& line : out.rows) {
        EXPECT_EQ(line, std::vector<unsigned char>(line.size(), level));
      }
    }
  }
}

TEST(AreaSampling, DecodesAtTheSmallestScaleLeavingTwiceTheThumbnail) {
  EXPECT_EQ(averagingScale(4000, 3000, 200, 150), 1);
  EXPECT_EQ(averagingScale(1920, 1080, 200, 113), 2);  // 1/8 gives 240 x 135
  EXPECT_EQ(averagingScale(1000, 1000, 200, 200), 4);  // 3/8 gives 375 x 375
  EXPECT_EQ(averagingScale(300, 300, 200, 200), 8);    // none does
  EXPECT_EQ(scaledLength(1001, 1), 126);               // rounded up, as the decoder does
}

}  // namespace
}  // namespace velmora
