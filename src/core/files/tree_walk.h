#pragma once
// A folder tree's JPEG files, folder by folder, as the command-line tool walks an archive.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

using FolderIdentity = std::pair<dev_t, ino_t>;

// The identity of an existing folder (links followed), or nothing.
std::optional<FolderIdentity> folderIdentityOf(const std::string& path);

struct WalkedFolder {
  std::string path;                // the root joined with the relative path
  std::string relativePath;        // empty for the root, "2019/summer" below it
  std::vector<std::string> names;  // its JPEG files as the file list shows them
};

// Called with a folder that could not be read and the system's error number.
using UnreadableFolder = std::function<void(const std::string& folder, int error)>;

// Walks depth-first: a folder, then each of its sub-folders in list order. Hidden (dot)
// folders, links to folders, pseudo file systems (proc, sys, ...) and the excluded folder are
// never entered, so the walk has no loops. Only the folders still to visit are held.
class TreeWalk {
 public:
  TreeWalk(const std::string& root, std::optional<FolderIdentity> excluded,
           UnreadableFolder unreadable);

  // The next folder with its files, or nothing once the tree is done.
  std::optional<WalkedFolder> next();

 private:
  std::string root_;
  std::optional<FolderIdentity> excluded_;
  UnreadableFolder unreadable_;
  std::vector<std::string> pending_;  // relative paths, a stack: the next one at the back
};

}  // namespace velmora
