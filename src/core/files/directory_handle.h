#pragma once
// Folders held open while the program works in them. A name can be swapped for a link by
// anyone who may write its parent; a held folder cannot, so every file the program reads or
// writes below a folder it was given is reached relative to a handle, and sub-folders are
// entered and created without following links.

#include <dirent.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/files/file_identity.h"

namespace velmora {

class DirectoryHandle {
 public:
  DirectoryHandle() = default;
  explicit DirectoryHandle(int fd) : fd_(fd) {}
  ~DirectoryHandle();
  DirectoryHandle(DirectoryHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  DirectoryHandle& operator=(DirectoryHandle&& other) noexcept;
  DirectoryHandle(const DirectoryHandle&) = delete;
  DirectoryHandle& operator=(const DirectoryHandle&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  FileIdentity identity() const;

 private:
  int fd_ = -1;
};

using SharedDirectory = std::shared_ptr<const DirectoryHandle>;

// Opens a folder the user named; links in the path are followed, as the user spelled them.
// Not open, with errno set, on failure.
DirectoryHandle openFolder(const std::string& path);

// Opens a folder's sub-folder by its bare name; a link in its place is not followed (ELOOP or
// ENOTDIR). Not open, with errno set, on failure.
DirectoryHandle openSubFolder(const DirectoryHandle& parent, const std::string& name);

struct DirectoryCloser {
  void operator()(DIR* directory) const { ::closedir(directory); }
};
using DirectoryListing = std::unique_ptr<DIR, DirectoryCloser>;

// Reads the held folder's entries from the start, leaving the handle as it is. Null, with
// errno set, on failure.
DirectoryListing listEntries(const DirectoryHandle& folder);

// Gives every entry of the held folder, read from its start ("." and ".." too), to `take`;
// false, with errno set, when the folder cannot be read to its end.
bool forEachEntry(const DirectoryHandle& folder, const std::function<void(const dirent&)>& take);

// A folder path as far as it exists, and what is missing below that: `missing` names folders
// to create one inside the other. ".." after a missing folder leads back to where it would be
// made, so "new/../photos" is "photos" before anything is created.
struct FolderPlan {
  DirectoryHandle existing;
  std::vector<std::string> missing;
};

// Plans the folder without creating anything; nothing when a part of the path that exists
// cannot be entered (errno set).
std::optional<FolderPlan> planFolder(const std::string& path);

// The identity of the folder a path names or will name: nothing when it does not exist yet
// (it would be a new folder, the same as no other) or cannot be entered.
std::optional<FileIdentity> folderIdentityOf(const std::string& path);

// Creates the folder and every missing folder above it (mkdir -p), each with the umask's mode
// and entered without following links, and returns it held open. Not open, with errno set, on
// failure.
DirectoryHandle createFolders(const std::string& path);

// Opens or creates the sub-folder `name` without following a link in its place; `created`
// tells whether this call made it. Not open, with errno set, on failure.
DirectoryHandle openOrCreateSubFolder(const DirectoryHandle& parent, const std::string& name,
                                      bool& created);

}  // namespace velmora
