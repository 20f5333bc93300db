#include "core/rules/integer_reading.h"

#include <cstddef>

namespace velmora {

namespace {

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length of the hexadecimal prefix at `pos` ("$", "x", "X", "0x", "0X"), or 0 for none.
std::size_t hexPrefixLength(const std::string& text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  const char c = text[pos];
  if (c == '$' || c == 'x' || c == 'X') return 1;
  if (c == '0' && pos + 1 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    return 2;
  }
  return 0;
}

// Hexadecimal digits as a 32-bit pattern; leading zeros are not significant, so only a ninth
// significant digit overflows.
std::optional<std::uint32_t> readHexDigits(const std::string& text, std::size_t pos) {
  if (pos >= text.size()) return std::nullopt;
  std::uint32_t value = 0;
  for (; pos < text.size(); ++pos) {
    const int digit = hexDigitValue(text[pos]);
    if (digit < 0 || (value >> 28) != 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

// Decimal digits as a magnitude, up to 2^31 (the magnitude of the smallest value).
std::optional<std::uint32_t> readDecimalDigits(const std::string& text, std::size_t pos) {
  constexpr std::uint64_t kLargestMagnitude = 2147483648ULL;
  if (pos >= text.size()) return std::nullopt;
  std::uint64_t value = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > kLargestMagnitude) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<std::int32_t> readInteger(const std::string& text) {
  std::size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const std::size_t prefix = hexPrefixLength(text, pos);
  if (prefix > 0) {
    const std::optional<std::uint32_t> pattern = readHexDigits(text, pos + prefix);
    if (!pattern) return std::nullopt;
    // Unsigned negation wraps, so "-$80000000" stays the smallest value as a 32-bit pattern.
    const std::uint32_t bits = negative ? 0U - *pattern : *pattern;
    return static_cast<std::int32_t>(bits);
  }
  const std::optional<std::uint32_t> magnitude = readDecimalDigits(text, pos);
  if (!magnitude) return std::nullopt;
  if (negative) return static_cast<std::int32_t>(0U - *magnitude);
  if (*magnitude > 2147483647U) return std::nullopt;
  return static_cast<std::int32_t>(*magnitude);
}

}  // namespace velmora
