#include "core/files/directory_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/files/path_text.h"

namespace velmora {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// Opens a part of a path the user spelled: a link there is followed, as the system would.
DirectoryHandle openSpelledPart(const DirectoryHandle& parent, const std::string& name) {
  return DirectoryHandle(::openat(parent.fd(), name.c_str(), kFolderFlags));
}

}  // namespace

DirectoryHandle::~DirectoryHandle() {
  if (fd_ >= 0) ::close(fd_);
}

DirectoryHandle& DirectoryHandle::operator=(DirectoryHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

FileIdentity DirectoryHandle::identity() const {
  struct stat status {};
  ::fstat(fd_, &status);
  return identityOf(status);
}

DirectoryHandle openFolder(const std::string& path) {
  return DirectoryHandle(::open(path.c_str(), kFolderFlags));
}

DirectoryHandle openSubFolder(const DirectoryHandle& parent, const std::string& name) {
  return DirectoryHandle(::openat(parent.fd(), name.c_str(), kFolderFlags | O_NOFOLLOW));
}

DirectoryListing listEntries(const DirectoryHandle& folder) {
  // The listing owns (and closes) a handle of its own, reading from the folder's start.
  const int own = ::openat(folder.fd(), ".", kFolderFlags);
  if (own < 0) return nullptr;
  DIR* listing = ::fdopendir(own);
  if (listing == nullptr) {
    const int error = errno;
    ::close(own);
    errno = error;
  }
  return DirectoryListing(listing);
}

bool forEachEntry(const DirectoryHandle& folder, const std::function<void(const dirent&)>& take) {
  const DirectoryListing listing = listEntries(folder);
  if (!listing) return false;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(listing.get());
    if (entry == nullptr) return errno == 0;
    take(*entry);
  }
}

std::optional<FolderPlan> planFolder(const std::string& path) {
  if (path.empty()) {
    errno = ENOENT;
    return std::nullopt;
  }
  FolderPlan plan;
  plan.existing = openFolder(path.front() == kPathSeparator ? "/" : ".");
  if (!plan.existing.isOpen()) return std::nullopt;
  for (const std::string& part : pathParts(path)) {
    if (part == ".") continue;
    if (!plan.missing.empty()) {
      if (part == "..") {
        plan.missing.pop_back();
      } else {
        plan.missing.push_back(part);
      }
      continue;
    }
    DirectoryHandle next = openSpelledPart(plan.existing, part);
    if (next.isOpen()) {
      plan.existing = std::move(next);
    } else if (errno == ENOENT) {
      plan.missing.push_back(part);
    } else {
      return std::nullopt;
    }
  }
  return plan;
}

std::optional<FileIdentity> folderIdentityOf(const std::string& path) {
  const std::optional<FolderPlan> plan = planFolder(path);
  if (!plan || !plan->missing.empty()) return std::nullopt;
  return plan->existing.identity();
}

DirectoryHandle openOrCreateSubFolder(const DirectoryHandle& parent, const std::string& name,
                                      bool& created) {
  created = ::mkdirat(parent.fd(), name.c_str(), 0777) == 0;
  if (!created && errno != EEXIST) return DirectoryHandle();
  return openSubFolder(parent, name);
}

DirectoryHandle createFolders(const std::string& path) {
  std::optional<FolderPlan> plan = planFolder(path);
  if (!plan) return DirectoryHandle();
  DirectoryHandle folder = std::move(plan->existing);
  for (const std::string& name : plan->missing) {
    bool created = false;
    folder = openOrCreateSubFolder(folder, name, created);
    if (!folder.isOpen()) return folder;
  }
  return folder;
}

}  // namespace velmora
