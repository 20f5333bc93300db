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

std::string folderForm(std::string path) {
  while (path.size() > 1 && endsWithSeparator(path)) path.pop_back();
  return path;
}

std::string folderOf(const std::string& path) {
  const std::string::size_type slash = path.rfind(kPathSeparator);
  if (slash == std::string::npos) return ".";
  if (slash == 0) return std::string(1, kPathSeparator);
  return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const std::string::size_type slash = path.rfind(kPathSeparator);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> pathParts(const std::string& path) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  while (start <= path.size()) {
    std::string::size_type end = path.find(kPathSeparator, start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace velmora
