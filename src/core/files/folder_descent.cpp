#include "core/files/folder_descent.h"

#include <cerrno>
#include <utility>

namespace velmora {

FolderDescent::FolderDescent(const DirectoryHandle& top) : top_(top) {
  identities_.push_back(top.identity());
}

bool FolderDescent::enter(const std::string& name) {
  DirectoryHandle below = openSubFolder(here(), name);
  if (!below.isOpen()) return false;
  identities_.push_back(below.identity());
  here_ = std::move(below);
  return true;
}

bool FolderDescent::leave() {
  // ".." names the parent the folder has now: a folder moved elsewhere meanwhile leads to
  // another one, and nothing is done there.
  DirectoryHandle parent = openSubFolder(here_, "..");
  if (!parent.isOpen()) return false;
  const FileIdentity expected = identities_[identities_.size() - 2];
  if (parent.identity() != expected) {
    errno = ENOENT;
    return false;
  }
  identities_.pop_back();
  here_ = depth() == 0 ? DirectoryHandle() : std::move(parent);
  return true;
}

}  // namespace velmora
