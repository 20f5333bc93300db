#include "core/rules/field_validation.h"

#include <optional>

#include "core/rules/integer_reading.h"

namespace velmora {

FieldVerdict validateField(const std::string& text, std::int32_t upperLimit,
                           const std::string& aboveLimitMessage) {
  const std::optional<std::int32_t> value = readInteger(text);
  if (!value) return {FieldAction::ResetThenNotify, kNotANumber};
  // The limits are positive, so a value is never both above the limit and below 1.
  if (*value > upperLimit) return {FieldAction::NotifyThenReset, aboveLimitMessage};
  if (*value <= 0) return {FieldAction::NotifyThenReset, kBelowMinimum};
  return {};
}

}  // namespace velmora
