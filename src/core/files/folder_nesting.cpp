#include "core/files/folder_nesting.h"

#include <fcntl.h>

#include <optional>

#include "core/files/directory_handle.h"

namespace velmora {

bool folderHoldsTree(const std::string& folder, const std::string& tree) {
  // A folder still to be made holds nothing yet, whatever ".." its spelling holds.
  const std::optional<FileIdentity> outer = folderIdentityOf(folder);
  DirectoryHandle current = openFolder(tree);
  if (!outer || !current.isOpen()) return false;
  // Up from the tree through its parents on the disk to the root, whose parent is itself.
  for (;;) {
    DirectoryHandle parent(::openat(current.fd(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent.isOpen() || parent.identity() == current.identity()) return false;
    if (parent.identity() == *outer) return true;
    current = std::move(parent);
  }
}

}  // namespace velmora
