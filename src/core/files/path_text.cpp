#include "core/files/path_text.h"

namespace velmora {

bool endsWithSeparator(const std::string& path) {
  return !path.empty() && path.back() == kPathSeparator;
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (endsWithSeparator(folder)) return folder + name;
  return folder + kPathSeparator + name;
}

std::string trimBlanks(const std::string& text) {
  auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::string::size_type first = 0;
  std::string::size_type last = text.size();
  while (first < last && isBlank(text[first])) ++first;
  while (last > first && isBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

}  // namespace velmora
