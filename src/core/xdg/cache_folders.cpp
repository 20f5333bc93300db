#include "core/xdg/cache_folders.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "core/errors.h"
#include "core/files/path_text.h"
#include "core/xdg/cache_location.h"

namespace velmora {

namespace {

DirectoryHandle createdFolder(const std::string& path) {
  DirectoryHandle folder = createFolders(path);
  if (!folder.isOpen()) throw EFCreateError(path, errno);
  return folder;
}

}  // namespace

CacheFolders::CacheFolders(const std::string& cache, const std::vector<CacheSize>& sizes)
    : failurePath_(cacheFailFolder(cache)) {
  for (const CacheSize size : sizes) {
    paths_.push_back(cacheSizeFolder(cache, size));
    held_.push_back(createdFolder(paths_.back()));
  }
  DirectoryHandle failure = openFolder(failurePath_);
  if (failure.isOpen()) failure_ = std::make_shared<const DirectoryHandle>(std::move(failure));
}

std::string CacheFolders::entryPath(std::size_t index, const std::string& name) const {
  return joinPath(paths_[index], name);
}

std::string CacheFolders::failurePath(const std::string& name) const {
  return joinPath(failurePath_, name);
}

bool CacheFolders::entryIsCurrent(std::size_t index, const std::string& name,
                                  const SourceStamp& source) const {
  return velmora::entryIsCurrent(held_[index], name, source);
}

bool CacheFolders::failureIsCurrent(const std::string& name, const SourceStamp& source) const {
  const SharedDirectory folder = failureFolder();
  return folder && velmora::entryIsCurrent(*folder, name, source);
}

void CacheFolders::createFailureFolder() {
  std::lock_guard<std::mutex> lock(failureMutex_);
  if (!failure_) failure_ = std::make_shared<const DirectoryHandle>(createdFolder(failurePath_));
}

void CacheFolders::removeFailure(const std::string& name) const {
  const SharedDirectory folder = failureFolder();
  if (folder) ::unlinkat(folder->fd(), name.c_str(), 0);
}

SharedDirectory CacheFolders::failureFolder() const {
  std::lock_guard<std::mutex> lock(failureMutex_);
  return failure_;
}

}  // namespace velmora
