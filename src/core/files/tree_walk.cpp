#include "core/files/tree_walk.h"

#include <sys/vfs.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include "core/files/folder_listing.h"
#include "core/files/kernel_file_systems.h"
#include "core/files/path_text.h"

namespace velmora {

namespace {

bool onKernelFileSystem(const DirectoryHandle& folder) {
  struct statfs status {};
  return fstatfs(folder.fd(), &status) == 0 &&
         isKernelFileSystemMagic(static_cast<unsigned long>(status.f_type));
}

struct FolderEntries {
  std::vector<std::string> subFolders;
  std::vector<std::string> files;
};

// The folder's sub-folders and JPEG files, in list order, from one reading of its entries;
// nothing, with errno set, when it cannot be read.
std::optional<FolderEntries> entriesOf(const DirectoryHandle& folder) {
  FolderEntries found;
  const bool read = forEachEntry(folder, [&](const dirent& entry) {
    if (entry.d_name[0] == '.') return;
    if (entryKindIn(folder, entry) == EntryKind::Folder) {
      found.subFolders.emplace_back(entry.d_name);
    } else if (matchesJpegPattern(entry.d_name) && isRegularFileIn(folder, entry)) {
      found.files.emplace_back(entry.d_name);
    }
  });
  if (!read) return std::nullopt;
  sortNamesForList(found.subFolders);
  sortNamesForList(found.files);
  return found;
}

// Every folder's handle is held while its sub-folders wait, down to this depth, as ordinary
// trees never go deeper; below it, one level in every kAnchorSpacing, so that a deep tree costs
// about a descriptor per kAnchorSpacing levels and re-entering a folder passes fewer than that.
constexpr std::size_t kHeldLevels = 64;
constexpr std::size_t kAnchorSpacing = 16;

bool holdsItsHandle(std::size_t depth) {
  return depth < kHeldLevels || depth % kAnchorSpacing == 0;
}

// A folder whose path no system call takes is not entered: its files could not be named in a
// message or opened by the user by path, and in a tree others fill the paths held for the
// waiting folders would otherwise add up to the square of its depth.
bool tooLongToName(const std::string& path) { return path.size() >= PATH_MAX; }

}  // namespace

TreeWalk::TreeWalk(const std::string& root, std::vector<FileIdentity> excluded,
                   UnreadableFolder unreadable)
    : root_(root), excluded_(std::move(excluded)), unreadable_(std::move(unreadable)) {
  pending_.push_back({nullptr, {}, std::string(), 0});
}

// A folder on the route that is no longer the one listed (moved, or swapped for another) ends
// the entry as a folder that cannot be read; nothing below another folder is walked.
DirectoryHandle TreeWalk::enter(const Pending& pending) const {
  if (!pending.from) return openFolder(root_);
  const DirectoryHandle* at = pending.from.get();
  DirectoryHandle passed;
  for (const Step& step : pending.route) {
    DirectoryHandle below = openSubFolder(*at, step.name);
    if (!below.isOpen()) return below;
    if (below.identity() != step.identity) {
      errno = ENOENT;
      return DirectoryHandle();
    }
    passed = std::move(below);
    at = &passed;
  }
  return openSubFolder(*at, nameOf(pending.relativePath));
}

// The sub-folders of a folder just listed, the first to visit last.
std::vector<TreeWalk::Pending> TreeWalk::pendingBelow(
    const Pending& folder, const SharedDirectory& handle,
    const std::vector<std::string>& subFolders) const {
  Pending below{handle, {}, std::string(), folder.depth + 1};
  if (!holdsItsHandle(folder.depth)) {
    below.from = folder.from;
    below.route = folder.route;
    below.route.push_back({nameOf(folder.relativePath), handle->identity()});
  }
  std::vector<Pending> pending;
  for (auto name = subFolders.rbegin(); name != subFolders.rend(); ++name) {
    below.relativePath = folder.relativePath.empty() ? *name : joinPath(folder.relativePath, *name);
    if (tooLongToName(joinPath(root_, below.relativePath))) {
      unreadable_(joinPath(root_, below.relativePath), ENAMETOOLONG);
      continue;
    }
    pending.push_back(below);
  }
  return pending;
}

std::optional<WalkedFolder> TreeWalk::next() {
  while (!pending_.empty()) {
    const Pending pending = std::move(pending_.back());
    pending_.pop_back();
    WalkedFolder folder;
    folder.relativePath = pending.relativePath;
    folder.path = folder.relativePath.empty() ? root_ : joinPath(root_, folder.relativePath);
    DirectoryHandle handle = enter(pending);
    if (handle.isOpen() &&
        (std::find(excluded_.begin(), excluded_.end(), handle.identity()) != excluded_.end() ||
         onKernelFileSystem(handle))) {
      continue;
    }
    std::optional<FolderEntries> entries;
    if (handle.isOpen()) entries = entriesOf(handle);
    if (!entries) {
      unreadable_(folder.path, errno != 0 ? errno : EIO);
      continue;
    }
    folder.handle = std::make_shared<const DirectoryHandle>(std::move(handle));
    for (Pending& below : pendingBelow(pending, folder.handle, entries->subFolders)) {
      pending_.push_back(std::move(below));
    }
    folder.names = std::move(entries->files);
    return folder;
  }
  return std::nullopt;
}

}  // namespace velmora
