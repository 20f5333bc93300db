#include "core/files/tree_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "core/files/folder_listing.h"
#include "core/files/path_text.h"

namespace velmora {

namespace {

// File systems that show the kernel's state rather than files: walking them is slow, endless
// or has side effects, and they hold no pictures.
bool isPseudoFileSystem(const std::string& folder) {
  struct statfs status {};
  if (statfs(folder.c_str(), &status) != 0) return false;
  switch (static_cast<unsigned long>(status.f_type)) {
    case 0x9fa0:      // proc
    case 0x62656572:  // sysfs
    case 0x1cd1:      // devpts
    case 0x64626720:  // debugfs
    case 0x74726163:  // tracefs
    case 0x27e0eb:    // cgroup
    case 0x63677270:  // cgroup2
    case 0x73636673:  // securityfs
    case 0x6165676c:  // pstore
    case 0xcafe4a11:  // bpf
    case 0x62656570:  // configfs
    case 0x65735543:  // fusectl
    case 0xf97cff8c:  // selinuxfs
    case 0x42494e4d:  // binfmt_misc
    case 0x19800202:  // mqueue
    case 0x6e736673:  // nsfs
      return true;
    default:
      return false;
  }
}

struct DirectoryCloser {
  void operator()(DIR* directory) const { closedir(directory); }
};

// The folder's sub-folders that may be entered, in list order; the error number when the
// folder cannot be read.
std::pair<std::optional<std::vector<std::string>>, int> subFoldersOf(
    const std::string& folder, const std::optional<FolderIdentity>& excluded) {
  std::unique_ptr<DIR, DirectoryCloser> directory(opendir(folder.c_str()));
  if (!directory) return {std::nullopt, errno};
  struct stat own {};
  if (fstat(dirfd(directory.get()), &own) != 0) return {std::nullopt, errno};
  std::vector<std::string> found;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(directory.get());
    if (entry == nullptr) {
      if (errno != 0) return {std::nullopt, errno};
      break;
    }
    const std::string name = entry->d_name;
    if (name.empty() || name.front() == '.') continue;
    if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN) continue;
    struct stat status {};
    if (fstatat(dirfd(directory.get()), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISDIR(status.st_mode)) {
      continue;
    }
    if (excluded && FolderIdentity{status.st_dev, status.st_ino} == *excluded) continue;
    if (status.st_dev != own.st_dev && isPseudoFileSystem(joinPath(folder, name))) continue;
    found.push_back(name);
  }
  sortNamesForList(found);
  return {std::move(found), 0};
}

}  // namespace

std::optional<FolderIdentity> folderIdentityOf(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return std::nullopt;
  return FolderIdentity{status.st_dev, status.st_ino};
}

TreeWalk::TreeWalk(const std::string& root, std::optional<FolderIdentity> excluded,
                   UnreadableFolder unreadable)
    : root_(root), excluded_(excluded), unreadable_(std::move(unreadable)) {
  if (!isPseudoFileSystem(root_)) pending_.emplace_back();
}

std::optional<WalkedFolder> TreeWalk::next() {
  while (!pending_.empty()) {
    WalkedFolder folder;
    folder.relativePath = std::move(pending_.back());
    pending_.pop_back();
    folder.path = folder.relativePath.empty() ? root_ : joinPath(root_, folder.relativePath);
    auto [subFolders, error] = subFoldersOf(folder.path, excluded_);
    std::optional<std::vector<std::string>> names;
    if (subFolders) {
      names = listJpegFiles(folder.path);
      if (!names) error = errno != 0 ? errno : EIO;
    }
    if (!names) {
      unreadable_(folder.path, error);
      continue;
    }
    for (auto name = subFolders->rbegin(); name != subFolders->rend(); ++name) {
      pending_.push_back(folder.relativePath.empty() ? *name
                                                     : joinPath(folder.relativePath, *name));
    }
    folder.names = std::move(*names);
    return folder;
  }
  return std::nullopt;
}

}  // namespace velmora
