#include "core/files/folder_nesting.h"

#include <cstdlib>
#include <memory>
#include <optional>

#include "core/files/path_text.h"

namespace velmora {

namespace {

// The real path of an existing folder, or nothing.
std::optional<std::string> realFolder(const std::string& path) {
  const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                             &std::free);
  if (!resolved) return std::nullopt;
  return std::string(resolved.get());
}

}  // namespace

bool folderHoldsTree(const std::string& folder, const std::string& tree) {
  const std::optional<std::string> outer = realFolder(folder);
  const std::optional<std::string> inner = realFolder(tree);
  if (!outer || !inner) return false;
  const std::string above = endsWithSeparator(*outer) ? *outer : *outer + kPathSeparator;
  return inner->compare(0, above.size(), above) == 0;
}

}  // namespace velmora
