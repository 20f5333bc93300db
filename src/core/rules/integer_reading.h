#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// Reads a whole text as a signed 32-bit integer: leading spaces (only the space character),
// an optional sign directly before the number, then decimal digits or hexadecimal digits after
// "$", "x", "X", "0x" or "0X"; nothing may follow. Decimal values must fit 32 bits; hexadecimal
// ones may have at most 8 significant digits and are read as a two's-complement pattern, then
// negated for "-". Anything else, the empty text included, gives nothing.
std::optional<std::int32_t> readInteger(const std::string& text);

}  // namespace velmora
