#pragma once
// The folders one run writes thumbnails into, each held open while thumbnails go in, and what
// the run has written there.

#include <atomic>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/files/directory_handle.h"
#include "core/files/file_identity.h"

namespace velmora {

// One folder as the run holds it. Flushed to the disk when let go after a rename into it, so
// that the new names survive a power cut without a flush per file.
class DestinationFolder {
 public:
  DestinationFolder(SharedDirectory handle, std::string path)
      : handle_(std::move(handle)), path_(std::move(path)) {}
  ~DestinationFolder();
  DestinationFolder(const DestinationFolder&) = delete;
  DestinationFolder& operator=(const DestinationFolder&) = delete;

  const DirectoryHandle& handle() const { return *handle_; }
  const SharedDirectory& sharedHandle() const { return handle_; }
  const std::string& path() const { return path_; }
  void renamedInto() { renamed_ = true; }

 private:
  SharedDirectory handle_;
  std::string path_;
  std::atomic<bool> renamed_{false};
};

// A folder a run mirrors a tree into, held since the run was checked.
struct MirrorRoot {
  std::string path;  // as the requests spell it
  SharedDirectory folder;
};

class DestinationFolders {
 public:
  // Below each of `mirrorRoots`, folders are entered without following links and created when
  // the first thumbnail goes in; every other folder is the user's and is opened as named.
  explicit DestinationFolders(std::vector<MirrorRoot> mirrorRoots = {});
  // Lets go of the folders and removes those it created that stayed empty.
  ~DestinationFolders();
  DestinationFolders(const DestinationFolders&) = delete;
  DestinationFolders& operator=(const DestinationFolders&) = delete;

  // The destination's folder, held open: `sourceFolder` itself when the destination lies
  // beside its source there. Swept of what killed runs left the first time the run meets it.
  // Throws EFCreateError naming the destination. Safe on any thread.
  std::shared_ptr<DestinationFolder> folderOf(const std::string& destination,
                                              const SharedDirectory& sourceFolder,
                                              const std::string& sourcePath);

  // The destination's folder as it is now, held open, with nothing made or swept: null when it
  // does not exist (yet) or cannot be entered. Safe on any thread.
  SharedDirectory existingFolderOf(const std::string& destination,
                                   const SharedDirectory& sourceFolder,
                                   const std::string& sourcePath);

  // Throws EDestinationTaken when the file now at the destination is one the run wrote.
  void checkNotWritten(const FileIdentity& present, const std::string& destination,
                       const std::string& source) const;
  // The run has put `file`, made of `source`, into the folder.
  void written(const FileIdentity& file, const std::string& source, const std::string& folder);

 private:
  // A folder below a mirror root: the root's index, and the path below it.
  using Mirrored = std::pair<std::size_t, std::string>;

  SharedDirectory openMirrored(const Mirrored& folder, bool create);
  SharedDirectory openFolderOf(const std::string& path, const SharedDirectory& sourceFolder,
                               const std::string& sourcePath, bool create);
  std::optional<Mirrored> relativeToMirror(const std::string& folder) const;
  bool holdsFilled(const Mirrored& folder) const;
  void removeEmptyCreated();

  std::vector<MirrorRoot> mirrorRoots_;
  mutable std::mutex mutex_;
  std::list<std::shared_ptr<DestinationFolder>> held_;  // the most recently used first
  // The last folder only looked at, not held: a folder's files come one after the other.
  std::string lookedAtPath_;
  SharedDirectory lookedAt_;
  std::set<FileIdentity> swept_;
  std::map<FileIdentity, std::string> written_;  // the files written, with their sources
  std::vector<Mirrored> created_;                // below the mirror roots, in creation order
  std::set<Mirrored> filled_;                    // created folders something went into
};

}  // namespace velmora
