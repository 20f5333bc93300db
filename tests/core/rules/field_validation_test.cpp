#include "core/rules/field_validation.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

struct FieldCase {
  const char* text;
  std::int32_t limit;
  FieldAction action;
  const char* message;
};

std::ostream& operator<<(std::ostream& out, const FieldCase& c) {
  return out << '"' << c.text << "\" limit " << c.limit;
}

class FieldValidation : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldValidation, GivesActionInOrderWithMessage) {
  const FieldCase& c = GetParam();
  const std::string aboveLimit = c.limit == kRateLimit ? kRateAboveLimit : kSizeAboveLimit;
  const FieldVerdict verdict = validateField(c.text, c.limit, aboveLimit);
  EXPECT_EQ(verdict.action, c.action);
  EXPECT_EQ(verdict.message, c.message);
}

constexpr auto kAccept = FieldAction::Accept;
constexpr auto kResetFirst = FieldAction::ResetThenNotify;
constexpr auto kNotifyFirst = FieldAction::NotifyThenReset;

INSTANTIATE_TEST_SUITE_P(
    Fields, FieldValidation,
    ::testing::Values(FieldCase{"15", kRateLimit, kAccept, ""},
                      FieldCase{"100", kRateLimit, kAccept, ""},
                      FieldCase{"150", kRateLimit, kNotifyFirst, kRateAboveLimit},
                      FieldCase{"1000", kSizeLimit, kAccept, ""},
                      FieldCase{"1001", kSizeLimit, kNotifyFirst, kSizeAboveLimit},
                      FieldCase{"$20", kSizeLimit, kAccept, ""},
                      FieldCase{"$FFFFFFFF", kSizeLimit, kNotifyFirst, kBelowMinimum},
                      FieldCase{"0", kSizeLimit, kNotifyFirst, kBelowMinimum},
                      FieldCase{"-5", kRateLimit, kNotifyFirst, kBelowMinimum},
                      FieldCase{"-", kSizeLimit, kResetFirst, kNotANumber},
                      FieldCase{"", kSizeLimit, kResetFirst, kNotANumber},
                      FieldCase{"20 ", kSizeLimit, kResetFirst, kNotANumber},
                      FieldCase{" 20", kSizeLimit, kAccept, ""}));

}  // namespace
}  // namespace velmora
