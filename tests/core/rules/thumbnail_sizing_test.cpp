#include "core/rules/thumbnail_sizing.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <stdexcept>

namespace velmora {
namespace {

struct SizingCase {
  const char* name;
  std::int32_t sourceWidth, sourceHeight;
  SizingRequest request;
  std::optional<PixelSize> expected;
};

std::ostream& operator<<(std::ostream& out, const SizingCase& c) { return out << c.name; }

class SizingTable : public ::testing::TestWithParam<SizingCase> {};

TEST_P(SizingTable, DecidesSizeOrRefusal) {
  const SizingCase& c = GetParam();
  EXPECT_EQ(Decide(c.sourceWidth, c.sourceHeight, c.request), c.expected);
}

constexpr auto kRate = SizingMode::Rate;
constexpr auto kHeight = SizingMode::Height;
constexpr auto kWidth = SizingMode::Width;
constexpr auto kBoth = SizingMode::HeightAndWidth;
constexpr auto kFit = SizingMode::Fit;
constexpr auto kWithin = SizingMode::Within;
constexpr auto kFill = SizingMode::Fill;
const std::optional<PixelSize> kRefused = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Rules, SizingTable,
    ::testing::Values(
        SizingCase{"RateHalf", 640, 480, {kRate, 50, 0, 0}, PixelSize{320, 240}},
        SizingCase{"RateFullIsSameSizeCopy", 640, 480, {kRate, 100, 0, 0}, PixelSize{640, 480}},
        SizingCase{"RateTiesGoToEven", 25, 35, {kRate, 50, 0, 0}, PixelSize{12, 18}},
        SizingCase{"RateTinyResultNotRaised", 1, 1, {kRate, 40, 0, 0}, PixelSize{0, 0}},
        SizingCase{"RateOnEmptySourceRefused", 0, 0, {kRate, 50, 0, 0}, kRefused},
        SizingCase{"HeightRoundsUp", 640, 480, {kHeight, 0, 50, 0}, PixelSize{67, 50}},
        SizingCase{"HeightEqualRefused", 640, 480, {kHeight, 0, 480, 0}, kRefused},
        SizingCase{"HeightJustBelowMade", 640, 480, {kHeight, 0, 479, 0}, PixelSize{639, 479}},
        SizingCase{"HeightIgnoresWidth", 10, 480, {kHeight, 0, 100, 0}, PixelSize{2, 100}},
        SizingCase{"WidthAboveRefused", 800, 600, {kWidth, 0, 0, 1000}, kRefused},
        SizingCase{"WidthMade", 800, 600, {kWidth, 0, 0, 400}, PixelSize{400, 300}},
        SizingCase{"WidthPastTheWindowsLimit",
                   4000,
                   3000,
                   {kWidth, 0, 0, 1600, 65535},
                   PixelSize{1600, 1200}},
        SizingCase{"BothDistorts", 640, 480, {kBoth, 0, 100, 100}, PixelSize{100, 100}},
        SizingCase{"BothHeightNotSmallerRefused", 640, 480, {kBoth, 0, 480, 100}, kRefused},
        SizingCase{"FitLandscape", 400, 300, {kFit, 0, 100, 100}, PixelSize{100, 75}},
        SizingCase{"FitPortrait", 300, 400, {kFit, 0, 100, 100}, PixelSize{75, 100}},
        SizingCase{"FitSquareUsesWidth", 300, 300, {kFit, 0, 100, 100}, PixelSize{100, 100}},
        SizingCase{"FitOtherSideNotTested", 300, 290, {kFit, 0, 100, 200}, PixelSize{200, 193}},
        SizingCase{"FitWidthLimitNotSmallerRefused", 300, 400, {kFit, 0, 100, 350}, kRefused},
        // The command line's gallery rules.
        SizingCase{"WithinPanorama", 3840, 700, {kWithin, 0, 1000, 1000}, PixelSize{1000, 182}},
        SizingCase{"WithinPortrait", 700, 3840, {kWithin, 0, 1000, 1000}, PixelSize{182, 1000}},
        SizingCase{"WithinOneSideOut", 800, 1200, {kWithin, 0, 1000, 1000}, PixelSize{667, 1000}},
        SizingCase{"WithinInsideRefused", 1000, 700, {kWithin, 0, 1000, 1000}, kRefused},
        SizingCase{"FillSquare", 3000, 2000, {kFill, 0, 160, 160}, PixelSize{160, 160}},
        SizingCase{"FillEqualBoxMade", 160, 200, {kFill, 0, 160, 160}, PixelSize{160, 160}},
        SizingCase{"FillSmallerSideRefused", 3000, 150, {kFill, 0, 160, 160}, kRefused}),
    [](const auto& info) { return std::string(info.param.name); });

// Ties go to even whatever rounding the calling thread has chosen, and the choice is left as
// it was; a request no settings field can give is refused, never computed with.
TEST(Sizing, RoundsWithoutTheThreadsRoundingModeAndRefusesRequestsOutOfRange) {
  const int previous = std::fegetround();
  for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    std::fesetround(mode);
    EXPECT_EQ(Decide(25, 35, {kRate, 50, 0, 0}), (PixelSize{12, 18}));
    EXPECT_EQ(Decide(300, 290, {kFit, 0, 100, 200}), (PixelSize{200, 193}));
    EXPECT_EQ(std::fegetround(), mode);
  }
  std::fesetround(previous);

  const SizingRequest outOfRange[] = {{kRate, 0, 0, 0},    {kRate, 101, 0, 0},
                                      {kRate, 50, 10, 0},  {kHeight, 0, 1001, 0},
                                      {kWidth, 0, 0, -5},  {kBoth, 0, 100, 0},
                                      {kFit, 7, 100, 100}, {static_cast<SizingMode>(9), 0, 1, 1}};
  for (const SizingRequest& request : outOfRange) {
    EXPECT_THROW(Decide(640, 480, request), std::invalid_argument);
  }
  EXPECT_THROW(Decide(-1, 480, {kRate, 50, 0, 0}), std::invalid_argument);
  EXPECT_THROW(Decide(640, 1 << 20, {kRate, 50, 0, 0}), std::invalid_argument);
}

}  // namespace
}  // namespace velmora
