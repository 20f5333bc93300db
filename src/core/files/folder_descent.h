#pragma once
// A way down a folder tree and back up that holds one handle however deep it goes, so that a
// tree others may fill cannot run the program out of descriptors: a sub-folder is entered from
// the folder held without following a link, and the way back goes through "..", checked to
// lead to the very folder it was entered from.

#include <string>
#include <vector>

#include "core/files/directory_handle.h"
#include "core/files/file_identity.h"

namespace velmora {

class FolderDescent {
 public:
  // Starts at `top`, which the caller holds for as long as the descent is used.
  explicit FolderDescent(const DirectoryHandle& top);

  // The folder the descent stands in, and its identity.
  const DirectoryHandle& here() const { return depth() == 0 ? top_ : here_; }
  const FileIdentity& identity() const { return identities_.back(); }
  // How many folders below the top it stands.
  std::size_t depth() const { return identities_.size() - 1; }

  // Enters the sub-folder `name`; a link in its place is not followed. False, with errno set,
  // when it stays where it was.
  bool enter(const std::string& name);

  // Goes back to the folder it was entered from. False, with errno set, when that folder can
  // no longer be reached from here (the folder was moved meanwhile): the descent is then
  // lost and must not be used again.
  bool leave();

 private:
  const DirectoryHandle& top_;
  DirectoryHandle here_;                  // not open at the top
  std::vector<FileIdentity> identities_;  // of the top and of each folder entered, in order
};

}  // namespace velmora
