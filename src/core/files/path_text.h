#pragma once
// Paths as text: the native separator and the few text rules the naming and listing share.

#include <string>

namespace velmora {

inline constexpr char kPathSeparator = '/';

// True when the text's last byte is the separator.
bool endsWithSeparator(const std::string& path);

// folder + separator + name, without a second separator when the folder already ends with one.
std::string joinPath(const std::string& folder, const std::string& name);

// Removes every byte of value 32 or less at both ends (blanks and control characters).
std::string trimBlanks(const std::string& text);

}  // namespace velmora
