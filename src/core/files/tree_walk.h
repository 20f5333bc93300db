#pragma once
// A folder tree's JPEG files, folder by folder, as the command-line tool walks an archive.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/files/directory_handle.h"
#include "core/files/file_identity.h"

namespace velmora {

struct WalkedFolder {
  std::string path;                // the root joined with the relative path
  std::string relativePath;        // empty for the root, "2019/summer" below it
  std::vector<std::string> names;  // its JPEG files as the file list shows them
  SharedDirectory handle;          // the folder listed: its files are opened relative to it
};

// Called with a folder that could not be read and the system's error number.
using UnreadableFolder = std::function<void(const std::string& folder, int error)>;

// Walks depth-first: a folder, then each of its sub-folders in list order. Each sub-folder is
// entered from its parent's handle without following links, so a folder swapped for a link
// after it was listed is not entered. Hidden (dot) folders, links to folders, kernel file
// systems (proc, sys, ...) and the excluded folders are never entered, so the walk has no loops.
// Only the folders still to visit are held, with the handles of their parents down to a fixed
// depth; further down, with the handle of one folder in every few levels and the way from it,
// each folder on that way checked to be the one listed when it is passed again. So a deep tree
// others may fill cannot run the program out of descriptors. A folder whose path would reach
// PATH_MAX is reported unreadable (ENAMETOOLONG) and not entered.
class TreeWalk {
 public:
  TreeWalk(const std::string& root, std::vector<FileIdentity> excluded,
           UnreadableFolder unreadable);

  // The next folder with its files, or nothing once the tree is done.
  std::optional<WalkedFolder> next();

 private:
  // A folder on the way from a held folder down to a parent that is not held.
  struct Step {
    std::string name;
    FileIdentity identity;
  };
  struct Pending {
    SharedDirectory from;     // null for the root
    std::vector<Step> route;  // from there down to the parent, empty when `from` is the parent
    std::string relativePath;
    std::size_t depth = 0;  // of the folder itself: 0 for the root
  };

  DirectoryHandle enter(const Pending& pending) const;
  std::vector<Pending> pendingBelow(const Pending& folder, const SharedDirectory& handle,
                                    const std::vector<std::string>& subFolders) const;

  std::string root_;
  std::vector<FileIdentity> excluded_;
  UnreadableFolder unreadable_;
  std::vector<Pending> pending_;  // a stack: the next one at the back
};

}  // namespace velmora
