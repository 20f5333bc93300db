#include "core/run/output_prune.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

#include "core/errors.h"
#include "core/files/file_removal.h"
#include "core/files/folder_listing.h"
#include "core/files/path_text.h"
#include "core/files/source_file.h"
#include "core/jpeg/jpeg_decoder.h"

namespace velmora {

namespace {

// The source roots' folders at one place of the output tree.
struct SourcePlace {
  std::vector<DirectoryHandle> folders;  // those roots that have a folder there
  bool unknown = false;                  // a root's folder there could not be read
};

enum class SourceState { Present, Absent, Unknown };

bool contains(const std::vector<FileIdentity>& identities, const FileIdentity& identity) {
  return std::find(identities.begin(), identities.end(), identity) != identities.end();
}

// The errors that say a name holds no folder or file the walk would take: nothing is there,
// a file or a link is (the walk never follows a link to a folder).
bool meansAbsent(int error) { return error == ENOENT || error == ENOTDIR || error == ELOOP; }

// The folder's entry names, in list order, "." and ".." left out; nothing, with errno set,
// when it cannot be read to its end.
std::optional<std::vector<std::string>> entryNames(const DirectoryHandle& folder) {
  std::vector<std::string> names;
  const bool read = forEachEntry(folder, [&](const dirent& entry) {
    const std::string name = entry.d_name;
    if (name != "." && name != "..") names.push_back(name);
  });
  if (!read) return std::nullopt;
  sortNamesForList(names);
  return names;
}

class TreePruner {
 public:
  TreePruner(const PruneRequest& request, std::vector<FileIdentity> sourceRoots,
             FileIdentity outputRoot)
      : request_(request), sourceRoots_(std::move(sourceRoots)), outputRoot_(outputRoot) {}

  // Prunes the folder at `relativePath` below the output root; true when it was left empty by
  // that (it held something, and all of it went).
  bool pruneFolder(const DirectoryHandle& folder, const std::string& relativePath,
                   const SourcePlace& sources) {
    const std::optional<std::vector<std::string>> names = entryNames(folder);
    if (!names) {
      failed(relativePath, errno);
      return false;
    }
    std::size_t gone = 0;
    for (const std::string& name : *names) {
      // Hidden entries are never the walk's: temporaries being written, the user's own files.
      if (name.front() == '.') continue;
      if (pruneEntry(folder, relativePath.empty() ? name : joinPath(relativePath, name), name,
                     sources)) {
        ++gone;
      }
    }
    return gone > 0 && gone == names->size();
  }

  PruneResult result;

 private:
  // Whether the entry went.
  bool pruneEntry(const DirectoryHandle& folder, const std::string& relativePath,
                  const std::string& name, const SourcePlace& sources) {
    struct stat status {};
    if (fstatat(folder.fd(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISDIR(status.st_mode)) return pruneSubFolder(folder, relativePath, name, sources);
    if (!S_ISREG(status.st_mode) || !matchesJpegPattern(name)) return false;
    if (!inShard(relativePath, request_.shard)) return false;
    if (sourceFile(sources, name) != SourceState::Absent) return false;
    if (!sizedAsThisOutputs(folder, name)) return false;
    switch (removeJpegFile(folder, name, request_.dryRun)) {
      case JpegRemoval::Removed:
        result.pruned.push_back({shownPath(relativePath), false});
        return true;
      case JpegRemoval::Failed:
        failed(relativePath, errno);
        return false;
      case JpegRemoval::NotAJpeg:
        return false;
    }
    return false;
  }

  bool pruneSubFolder(const DirectoryHandle& folder, const std::string& relativePath,
                      const std::string& name, const SourcePlace& sources) {
    const DirectoryHandle subFolder = openSubFolder(folder, name);
    if (!subFolder.isOpen()) {
      if (!meansAbsent(errno)) failed(relativePath, errno);
      return false;
    }
    // A source tree inside the output tree holds sources, another output's tree its own
    // thumbnails.
    if (isLeftAlone(subFolder.identity())) return false;
    const SourcePlace below = sourcesBelow(sources, name);
    if (below.unknown) return false;
    // Without a source folder it is the mirror of a deleted or renamed one only when it holds
    // nothing a run would not have made; otherwise it is the user's own.
    if (below.folders.empty() && !holdsOnlyThumbnails(subFolder)) return false;
    if (!pruneFolder(subFolder, relativePath, below)) return false;
    if (!request_.dryRun && !removeEmptySubFolder(folder, name)) {
      // Something came into it meanwhile; it stays, as any folder holding anything does.
      if (errno != ENOTEMPTY && errno != EEXIST) failed(relativePath, errno);
      return false;
    }
    result.pruned.push_back({shownPath(relativePath), true});
    return true;
  }

  // Whether the folder and its sub-folders hold JPEG files only, as a mirror does.
  bool holdsOnlyThumbnails(const DirectoryHandle& folder) const {
    const std::optional<std::vector<std::string>> names = entryNames(folder);
    if (!names) return false;
    for (const std::string& name : *names) {
      struct stat status {};
      if (name.front() == '.' ||
          fstatat(folder.fd(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
      }
      if (S_ISDIR(status.st_mode)) {
        const DirectoryHandle subFolder = openSubFolder(folder, name);
        if (!subFolder.isOpen() || isLeftAlone(subFolder.identity()) ||
            !holdsOnlyThumbnails(subFolder)) {
          return false;
        }
      } else if (!matchesJpegPattern(name) ||
                 removeJpegFile(folder, name, true) != JpegRemoval::Removed ||
                 !sizedAsThisOutputs(folder, name)) {
        return false;
      }
    }
    return true;
  }

  // Whether the file's header gives sides the output's sizing gives: a photo the user keeps in
  // the output tree, larger than any thumbnail of it, stays.
  bool sizedAsThisOutputs(const DirectoryHandle& folder, const std::string& name) const {
    if (request_.sizing.mode == SizingMode::Rate) return true;
    try {
      JpegDecoder header(SourceFile(folder, name, name), limits_);
      header.readHeader();
      return CouldHaveMade(request_.sizing, {header.width(), header.height()});
    } catch (const Error&) {
      return false;
    }
  }

  // The sub-folder `name` of each source folder, as the walk would enter it.
  SourcePlace sourcesBelow(const SourcePlace& sources, const std::string& name) const {
    SourcePlace below;
    for (const DirectoryHandle& folder : sources.folders) {
      DirectoryHandle subFolder = openSubFolder(folder, name);
      if (subFolder.isOpen()) {
        // The walk never enters an output folder, so it has made nothing from it.
        const FileIdentity identity = subFolder.identity();
        if (identity != outputRoot_ && !contains(request_.otherOutputs, identity)) {
          below.folders.push_back(std::move(subFolder));
        }
      } else if (!meansAbsent(errno)) {
        below.unknown = true;
      }
    }
    return below;
  }

  // Whether a source folder holds the JPEG file `name`, as the walk lists it (a link to a file
  // counts as the file).
  static SourceState sourceFile(const SourcePlace& sources, const std::string& name) {
    SourceState found = SourceState::Absent;
    for (const DirectoryHandle& folder : sources.folders) {
      struct stat status {};
      if (fstatat(folder.fd(), name.c_str(), &status, 0) == 0) {
        if (S_ISREG(status.st_mode)) return SourceState::Present;
      } else if (!meansAbsent(errno)) {
        found = SourceState::Unknown;
      }
    }
    return found;
  }

  bool isLeftAlone(const FileIdentity& identity) const {
    return contains(sourceRoots_, identity) || contains(request_.otherOutputs, identity);
  }

  std::string shownPath(const std::string& relativePath) const {
    return relativePath.empty() ? request_.output.path
                                : joinPath(request_.output.path, relativePath);
  }

  void failed(const std::string& relativePath, int error) {
    result.errors.push_back({shownPath(relativePath), error});
  }

  const PruneRequest& request_;
  DecoderMemoryBudget memory_;
  const DecodeLimits limits_{memory_};
  const std::vector<FileIdentity> sourceRoots_;
  const FileIdentity outputRoot_;
};

}  // namespace

PruneResult pruneOutputTree(const PruneRequest& request) {
  if (!request.output.folder) return {};
  SourcePlace roots;
  std::vector<FileIdentity> rootIdentities;
  PruneResult unopened;
  for (const std::string& root : request.sourceRoots) {
    DirectoryHandle folder = openFolder(root);
    if (!folder.isOpen()) {
      unopened.errors.push_back({root, errno});
      continue;
    }
    rootIdentities.push_back(folder.identity());
    roots.folders.push_back(std::move(folder));
  }
  // Without every source root every thumbnail would look like an orphan.
  if (!unopened.errors.empty()) return unopened;
  const FileIdentity output = request.output.folder->identity();
  if (contains(rootIdentities, output)) return {};
  TreePruner pruner(request, std::move(rootIdentities), output);
  pruner.pruneFolder(*request.output.folder, std::string(), roots);
  return std::move(pruner.result);
}

}  // namespace velmora
