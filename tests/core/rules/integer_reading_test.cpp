#include "core/rules/integer_reading.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

struct ReadingCase {
  const char* text;
  std::optional<std::int32_t> expected;
};

std::ostream& operator<<(std::ostream& out, const ReadingCase& c) {
  return out << '"' << c.text << '"';
}

class IntegerReading : public ::testing::TestWithParam<ReadingCase> {};

TEST_P(IntegerReading, ReadsWholeTextOrNothing) {
  EXPECT_EQ(readInteger(GetParam().text), GetParam().expected);
}

const std::optional<std::int32_t> kFails = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Decimal, IntegerReading,
    ::testing::Values(
        ReadingCase{"20", 20}, ReadingCase{" 20", 20}, ReadingCase{"   -5", -5},
        ReadingCase{"+5", 5}, ReadingCase{"007", 7}, ReadingCase{"2147483647", 2147483647},
        ReadingCase{"-2147483648", -2147483647 - 1}, ReadingCase{"2147483648", kFails},
        ReadingCase{"-2147483649", kFails}, ReadingCase{"99999999999999999999", kFails},
        ReadingCase{"20 ", kFails}, ReadingCase{"\t20", kFails}, ReadingCase{"- 5", kFails},
        ReadingCase{"+-5", kFails}, ReadingCase{"-", kFails}, ReadingCase{"+", kFails},
        ReadingCase{"", kFails}, ReadingCase{" ", kFails}, ReadingCase{"1e3", kFails},
        ReadingCase{"1.0", kFails}, ReadingCase{"12a", kFails}, ReadingCase{"１２", kFails}));

INSTANTIATE_TEST_SUITE_P(
    Hexadecimal, IntegerReading,
    ::testing::Values(ReadingCase{"$20", 32}, ReadingCase{"x1f", 31}, ReadingCase{"X1F", 31},
                      ReadingCase{"0x10", 16}, ReadingCase{"0XaB", 171}, ReadingCase{" -$10", -16},
                      ReadingCase{"+$10", 16}, ReadingCase{"0x7FFFFFFF", 2147483647},
                      ReadingCase{"$FFFFFFFF", -1}, ReadingCase{"-$FFFFFFFF", 1},
                      ReadingCase{"$80000000", -2147483647 - 1},
                      ReadingCase{"-$80000000", -2147483647 - 1}, ReadingCase{"$000000001", 1},
                      ReadingCase{"$100000000", kFails}, ReadingCase{"$", kFails},
                      ReadingCase{"0x", kFails}, ReadingCase{"x", kFails},
                      ReadingCase{"$G", kFails}, ReadingCase{"$1 ", kFails},
                      ReadingCase{"$$1", kFails}, ReadingCase{"00x10", kFails},
                      ReadingCase{"0x-1", kFails}));

}  // namespace
}  // namespace velmora
