#include "shell/shell_locator.h"

#include <algorithm>

namespace velmora {

TRzShellLocator TRzShellLocator::parent() const {
  if (levels_.empty()) return {};
  return TRzShellLocator({levels_.begin(), levels_.end() - 1});
}

TRzShellLocator TRzShellLocator::child(const ShellItemId& id) const {
  std::vector<ShellItemId> levels = levels_;
  levels.push_back(id);
  return TRzShellLocator(std::move(levels));
}

bool TRzShellLocator::startsWith(const TRzShellLocator& ancestor) const {
  const auto& prefix = ancestor.levels_;
  return prefix.size() <= levels_.size() &&
         std::equal(prefix.begin(), prefix.end(), levels_.begin());
}

}  // namespace velmora
