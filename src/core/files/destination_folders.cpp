#include "core/files/destination_folders.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/errors.h"
#include "core/files/path_text.h"
#include "core/files/temporary_files.h"

namespace velmora {

namespace {

// Folders held at once: thumbnails go in folder by folder, so a few cover the files in flight
// while a run over thousands of folders stays far below the limit of open files.
constexpr std::size_t kFoldersHeld = 16;

}  // namespace

DestinationFolder::~DestinationFolder() {
  if (renamed_) (void)::fsync(handle_->fd());
}

DestinationFolders::DestinationFolders(std::vector<MirrorRoot> mirrorRoots)
    : mirrorRoots_(std::move(mirrorRoots)) {
  for (MirrorRoot& root : mirrorRoots_) root.path = folderForm(root.path);
}

DestinationFolders::~DestinationFolders() {
  held_.clear();
  removeEmptyCreated();
}

// The root that holds the folder most closely, when one does: one output's tree may be
// mirrored inside another's.
std::optional<DestinationFolders::Mirrored> DestinationFolders::relativeToMirror(
    const std::string& folder) const {
  std::optional<Mirrored> closest;
  for (std::size_t index = 0; index < mirrorRoots_.size(); ++index) {
    const std::string& root = mirrorRoots_[index].path;
    if (!mirrorRoots_[index].folder) continue;
    const std::string above = endsWithSeparator(root) ? root : root + kPathSeparator;
    std::optional<std::string> below;
    if (folder == root) {
      below = std::string();
    } else if (folder.compare(0, above.size(), above) == 0) {
      below = folder.substr(above.size());
    }
    if (below && (!closest || below->size() < closest->second.size())) closest = {{index, *below}};
  }
  return closest;
}

// Enters the mirrored folders one by one from the root, never through a link, making those
// that are missing when asked to.
SharedDirectory DestinationFolders::openMirrored(const Mirrored& folder, bool create) {
  SharedDirectory current = mirrorRoots_[folder.first].folder;
  std::string reached;
  for (const std::string& name : pathParts(folder.second)) {
    if (name == "." || name == "..") {
      errno = EINVAL;
      return nullptr;
    }
    reached = reached.empty() ? name : joinPath(reached, name);
    bool created = false;
    DirectoryHandle next =
        create ? openOrCreateSubFolder(*current, name, created) : openSubFolder(*current, name);
    if (!next.isOpen()) return nullptr;
    if (created) created_.emplace_back(folder.first, reached);
    current = std::make_shared<const DirectoryHandle>(std::move(next));
  }
  return current;
}

SharedDirectory DestinationFolders::openFolderOf(const std::string& path,
                                                 const SharedDirectory& sourceFolder,
                                                 const std::string& sourcePath, bool create) {
  if (sourceFolder && path == folderForm(velmora::folderOf(sourcePath))) return sourceFolder;
  if (const std::optional<Mirrored> relative = relativeToMirror(path)) {
    return openMirrored(*relative, create);
  }
  DirectoryHandle opened = openFolder(path);
  if (!opened.isOpen()) return nullptr;
  return std::make_shared<const DirectoryHandle>(std::move(opened));
}

std::shared_ptr<DestinationFolder> DestinationFolders::folderOf(const std::string& destination,
                                                                const SharedDirectory& sourceFolder,
                                                                const std::string& sourcePath) {
  const std::string path = folderForm(velmora::folderOf(destination));
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = std::find_if(held_.begin(), held_.end(),
                                  [&](const auto& folder) { return folder->path() == path; });
  if (found != held_.end()) {
    held_.splice(held_.begin(), held_, found);
    return held_.front();
  }
  const SharedDirectory handle = openFolderOf(path, sourceFolder, sourcePath, true);
  if (!handle) throw EFCreateError(destination, errno);
  if (swept_.insert(handle->identity()).second) sweepStaleTemporaries(*handle);
  held_.push_front(std::make_shared<DestinationFolder>(handle, path));
  if (held_.size() > kFoldersHeld) held_.pop_back();
  return held_.front();
}

SharedDirectory DestinationFolders::existingFolderOf(const std::string& destination,
                                                     const SharedDirectory& sourceFolder,
                                                     const std::string& sourcePath) {
  const std::string path = folderForm(velmora::folderOf(destination));
  std::lock_guard<std::mutex> lock(mutex_);
  for (const std::shared_ptr<DestinationFolder>& folder : held_) {
    if (folder->path() == path) return folder->sharedHandle();
  }
  if (path != lookedAtPath_) {
    lookedAt_ = openFolderOf(path, sourceFolder, sourcePath, false);
    lookedAtPath_ = path;
  }
  return lookedAt_;
}

void DestinationFolders::checkNotWritten(const FileIdentity& present,
                                         const std::string& destination,
                                         const std::string& source) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto earlier = written_.find(present);
  if (earlier != written_.end()) throw EDestinationTaken(destination, source, earlier->second);
}

void DestinationFolders::written(const FileIdentity& file, const std::string& source,
                                 const std::string& folder) {
  std::lock_guard<std::mutex> lock(mutex_);
  written_.emplace(file, source);
  if (const std::optional<Mirrored> relative = relativeToMirror(folder)) {
    filled_.insert(*relative);
  }
}

// A folder made for a thumbnail that was never put in place (the run ended first) goes again;
// one that is not empty, or is no longer a folder, stays as it is.
// A folder above one something went into is not empty either; telling so from the sorted set
// spares opening it from its mirror root, which costs as many opens as it is deep.
bool DestinationFolders::holdsFilled(const Mirrored& folder) const {
  const std::string below = folder.second + kPathSeparator;
  const auto first = filled_.lower_bound({folder.first, below});
  return first != filled_.end() && first->first == folder.first &&
         first->second.compare(0, below.size(), below) == 0;
}

void DestinationFolders::removeEmptyCreated() {
  for (auto made = created_.rbegin(); made != created_.rend(); ++made) {
    if (filled_.count(*made) || holdsFilled(*made)) continue;
    SharedDirectory parent = mirrorRoots_[made->first].folder;
    const std::vector<std::string> parts = pathParts(made->second);
    for (std::size_t i = 0; parent && i + 1 < parts.size(); ++i) {
      DirectoryHandle next = openSubFolder(*parent, parts[i]);
      parent = next.isOpen() ? std::make_shared<const DirectoryHandle>(std::move(next)) : nullptr;
    }
    if (parent) (void)::unlinkat(parent->fd(), parts.back().c_str(), AT_REMOVEDIR);
  }
}

}  // namespace velmora
