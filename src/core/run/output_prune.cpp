#include "core/run/output_prune.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <unordered_set>
#include <utility>

#include "core/errors.h"
#include "core/files/file_removal.h"
#include "core/files/folder_descent.h"
#include "core/files/folder_listing.h"
#include "core/files/path_text.h"
#include "core/files/source_file.h"
#include "core/jpeg/jpeg_decoder.h"

namespace velmora {

namespace {

struct Entry {
  std::string name;
  EntryKind kind = EntryKind::Other;
};

// What the source roots hold at one place of the output tree.
struct SourcePlace {
  std::vector<std::size_t> roots;  // the roots with a folder there: their descents stand in it
  // The JPEG names there whose thumbnails stay: those of files the walk lists and those that
  // could not be told.
  std::unordered_set<std::string> kept;
  bool unknown = false;  // a root's folder there could not be read
};

bool contains(const std::vector<FileIdentity>& identities, const FileIdentity& identity) {
  return std::find(identities.begin(), identities.end(), identity) != identities.end();
}

// The errors that say a name holds no folder or file the walk would take: nothing is there,
// a file or a link is (the walk never follows a link to a folder).
bool meansAbsent(int error) { return error == ENOENT || error == ENOTDIR || error == ELOOP; }

// The folder's entries in the order it gives them, "." and ".." left out; nothing, with errno
// set, when it cannot be read to its end.
std::optional<std::vector<Entry>> listFolder(const DirectoryHandle& folder) {
  std::vector<Entry> entries;
  const bool read = forEachEntry(folder, [&](const dirent& entry) {
    const std::string name = entry.d_name;
    if (name != "." && name != "..") entries.push_back({name, entryKindIn(folder, entry)});
  });
  if (!read) return std::nullopt;
  return entries;
}

// Adds the JPEG names of a source folder whose thumbnails stay: the files the walk lists (a
// link to a file counts as the file) and the names that cannot be told. False, with errno set,
// when the folder cannot be read to its end.
bool addKeptNames(const DirectoryHandle& folder, std::unordered_set<std::string>& kept) {
  return forEachEntry(folder, [&](const dirent& entry) {
    if (!matchesJpegPattern(entry.d_name)) return;
    bool keep = entry.d_type == DT_REG;
    if (entry.d_type == DT_LNK || entry.d_type == DT_UNKNOWN) {
      struct stat status {};
      keep = fstatat(folder.fd(), entry.d_name, &status, 0) == 0 ? S_ISREG(status.st_mode)
                                                                 : !meansAbsent(errno);
    }
    if (keep) kept.insert(entry.d_name);
  });
}

// Walks the output tree depth-first with the source roots' trees beside it, each through one
// descent, so that however deep a tree goes the descriptors held stay few. A folder is decided
// when the walk enters it and removed, when pruning emptied it, as the walk leaves it.
class TreePruner {
 public:
  TreePruner(const PruneRequest& request, const std::vector<DirectoryHandle>& roots,
             std::vector<FileIdentity> rootIdentities, FileIdentity outputRoot)
      : request_(request),
        sourceRoots_(std::move(rootIdentities)),
        outputRoot_(outputRoot),
        output_(*request.output.folder) {
    sources_.reserve(roots.size());
    for (const DirectoryHandle& root : roots) sources_.emplace_back(root);
  }

  void run() {
    Level top;
    for (std::size_t root = 0; root < sources_.size(); ++root) {
      top.sources.roots.push_back(root);
      // Without every root's names every thumbnail could look like an orphan.
      if (!addKeptNames(sources_[root].here(), top.sources.kept)) return;
    }
    if (!listLevel(top)) {
      failed(std::string(), errno);
      return;
    }
    levels_.push_back(std::move(top));
    while (!levels_.empty() && !lost_) step();
  }

  PruneResult result;

 private:
  // A folder of the output tree the walk stands in or below.
  struct Level {
    std::string name;            // in the folder above; empty for the output root
    std::size_t pathLength = 0;  // of the relative path of the folder above
    std::size_t total = 0;       // its entries, "." and ".." left out
    std::vector<Entry> entries;  // those that may go or hold what may go, in list order
    std::size_t next = 0;        // the entry to take next
    std::size_t gone = 0;        // the entries pruned
    SourcePlace sources;
    // Below a folder that has no source folder and was found to hold only thumbnails.
    bool mirrorOfNothing = false;
  };

  void step() {
    Level& level = levels_.back();
    if (level.next == level.entries.size()) {
      finishFolder();
      return;
    }
    const Entry entry = level.entries[level.next++];
    if (entry.kind == EntryKind::File && pruneFile(entry.name)) ++level.gone;
    if (entry.kind == EntryKind::Folder) enterFolder(level, entry.name);
  }

  // Whether the file went.
  bool pruneFile(const std::string& name) {
    if (!matchesJpegPattern(name)) return false;
    const std::string relativePath = pathOf(name);
    if (!inShard(relativePath, request_.shard)) return false;
    switch (removeThumbnail(name, request_.dryRun)) {
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

  // Enters the sub-folder `name` when there is something to prune in it. `level` is not used
  // once the new folder's level is added.
  void enterFolder(const Level& level, const std::string& name) {
    Level below;
    below.name = name;
    below.pathLength = path_.size();
    const std::string relativePath = pathOf(name);
    if (!output_.enter(name)) {
      if (!meansAbsent(errno)) failed(relativePath, errno);
      return;
    }
    path_ = relativePath;
    // A source tree inside the output tree holds sources, another output's tree its own
    // thumbnails.
    if (isLeftAlone(output_.identity())) {
      leave(below);
      return;
    }
    below.mirrorOfNothing = level.mirrorOfNothing;
    if (!below.mirrorOfNothing) {
      below.sources = sourcesBelow(level.sources, name);
      if (lost_) return;
      // Without a source folder it is the mirror of a deleted or renamed one only when it
      // holds nothing a run would not have made; otherwise it is the user's own. Below it
      // that is known without looking again.
      below.mirrorOfNothing =
          below.sources.roots.empty() && !below.sources.unknown && holdsOnlyThumbnails();
      if (below.sources.unknown || (below.sources.roots.empty() && !below.mirrorOfNothing)) {
        leave(below);
        return;
      }
    }
    if (!listLevel(below)) {
      failed(relativePath, errno);
      leave(below);
      return;
    }
    levels_.push_back(std::move(below));
  }

  // Leaves the folder the walk stands in, removing it when pruning emptied it.
  void finishFolder() {
    const Level done = std::move(levels_.back());
    levels_.pop_back();
    // The output root itself stays.
    if (levels_.empty()) return;
    const std::string relativePath = path_;
    leave(done);
    if (lost_ || done.gone == 0 || done.gone != done.total) return;
    if (!request_.dryRun && !removeEmptySubFolder(output_.here(), done.name)) {
      // Something came into it meanwhile; it stays, as any folder holding anything does.
      if (errno != ENOTEMPTY && errno != EEXIST) failed(relativePath, errno);
      return;
    }
    result.pruned.push_back({shownPath(relativePath), true});
    ++levels_.back().gone;
  }

  // Lists the folder the walk stands in for `level`, whose sources are known: of its entries
  // only the folders and the files whose names no source holds are looked at, in list order.
  // Hidden entries are never the walk's (temporaries being written, the user's own files), and
  // links and other kinds of file never go.
  bool listLevel(Level& level) const {
    std::optional<std::vector<Entry>> entries = listFolder(output_.here());
    if (!entries) return false;
    level.total = entries->size();
    const auto staying = [&](const Entry& entry) {
      return entry.name.front() == '.' || entry.kind == EntryKind::Other ||
             (entry.kind == EntryKind::File && level.sources.kept.count(entry.name) != 0);
    };
    entries->erase(std::remove_if(entries->begin(), entries->end(), staying), entries->end());
    std::sort(entries->begin(), entries->end(),
              [](const Entry& a, const Entry& b) { return listsBefore(a.name, b.name); });
    level.entries = std::move(*entries);
    return true;
  }

  // Goes back from the folder of `level` to the one above, in the output and the source trees.
  void leave(const Level& level) {
    if (lost_) return;
    bool back = true;
    for (const std::size_t root : level.sources.roots) back = back && sources_[root].leave();
    back = back && output_.leave();
    if (!back) {
      lose(errno);
      return;
    }
    path_.resize(level.pathLength);
  }

  // The source roots' sub-folders `name` of the place, as the walk would enter them; the
  // descents of those that have one stand in it afterwards, unless it is unknown.
  SourcePlace sourcesBelow(const SourcePlace& place, const std::string& name) {
    SourcePlace below;
    for (const std::size_t root : place.roots) {
      FolderDescent& source = sources_[root];
      if (!source.enter(name)) {
        if (!meansAbsent(errno)) below.unknown = true;
        continue;
      }
      // The walk never enters an output folder, so it has made nothing from it.
      const FileIdentity identity = source.identity();
      if (identity == outputRoot_ || contains(request_.otherOutputs, identity)) {
        if (!source.leave()) lose(errno);
        if (lost_) return below;
        continue;
      }
      below.roots.push_back(root);
      if (!addKeptNames(source.here(), below.kept)) below.unknown = true;
    }
    if (below.unknown) {
      for (const std::size_t root : below.roots) {
        if (!sources_[root].leave()) lose(errno);
        if (lost_) break;
      }
      below.roots.clear();
    }
    return below;
  }

  // Whether the folder the walk stands in and its sub-folders hold JPEG files only, as a
  // mirror does. The walk stands in it again afterwards, unless it is lost.
  bool holdsOnlyThumbnails() {
    const std::size_t top = output_.depth();
    std::vector<std::vector<Entry>> pending;  // each folder's entries still to look at
    bool only = true;
    while (only) {
      if (output_.depth() - top == pending.size()) {
        std::optional<std::vector<Entry>> entries = listFolder(output_.here());
        if (!entries || isLeftAlone(output_.identity())) break;
        pending.push_back(std::move(*entries));
      }
      if (pending.back().empty()) {
        pending.pop_back();
        if (pending.empty()) return true;
        if (!output_.leave()) lose(errno);
        if (lost_) return false;
        continue;
      }
      const Entry entry = std::move(pending.back().back());
      pending.back().pop_back();
      if (entry.name.front() == '.') {
        only = false;
      } else if (entry.kind == EntryKind::Folder) {
        only = output_.enter(entry.name);
      } else {
        only = entry.kind == EntryKind::File && matchesJpegPattern(entry.name) &&
               removeThumbnail(entry.name, true) == JpegRemoval::Removed;
      }
    }
    while (output_.depth() > top) {
      if (!output_.leave()) {
        lose(errno);
        return false;
      }
    }
    return false;
  }

  // Removes the JPEG file `name` of the folder the walk stands in when it could be one of this
  // output's thumbnails.
  JpegRemoval removeThumbnail(const std::string& name, bool checkOnly) const {
    return removeJpegFile(output_.here(), name, checkOnly,
                          [this](SourceFile file) { return sizedAsThisOutputs(std::move(file)); });
  }

  // Whether the file's header gives sides the output's sizing gives: a photo the user keeps in
  // the output tree, larger than any thumbnail of it, stays.
  bool sizedAsThisOutputs(SourceFile file) const {
    if (request_.sizing.mode == SizingMode::Rate) return true;
    try {
      JpegDecoder header(std::move(file), limits_);
      header.readHeader();
      return CouldHaveMade(request_.sizing, {header.width(), header.height()});
    } catch (const Error&) {
      return false;
    }
  }

  bool isLeftAlone(const FileIdentity& identity) const {
    return contains(sourceRoots_, identity) || contains(request_.otherOutputs, identity);
  }

  // The entry's path below the output root.
  std::string pathOf(const std::string& name) const {
    return path_.empty() ? name : joinPath(path_, name);
  }

  std::string shownPath(const std::string& relativePath) const {
    return relativePath.empty() ? request_.output.path
                                : joinPath(request_.output.path, relativePath);
  }

  void failed(const std::string& relativePath, int error) {
    result.errors.push_back({shownPath(relativePath), error});
  }

  // A folder was moved while the walk was below it: the way back is gone, and the walk stops.
  void lose(int error) {
    failed(path_, error);
    lost_ = true;
  }

  const PruneRequest& request_;
  DecoderMemoryBudget memory_;
  const DecodeLimits limits_{memory_};
  const std::vector<FileIdentity> sourceRoots_;
  const FileIdentity outputRoot_;
  FolderDescent output_;
  std::vector<FolderDescent> sources_;  // one a source root
  std::vector<Level> levels_;           // from the output root to the folder the walk is in
  std::string path_;                    // of that folder below the output root
  bool lost_ = false;
};

}  // namespace

PruneResult pruneOutputTree(const PruneRequest& request) {
  if (!request.output.folder) return {};
  std::vector<DirectoryHandle> roots;
  std::vector<FileIdentity> rootIdentities;
  PruneResult unopened;
  for (const std::string& root : request.sourceRoots) {
    DirectoryHandle folder = openFolder(root);
    if (!folder.isOpen()) {
      unopened.errors.push_back({root, errno});
      continue;
    }
    rootIdentities.push_back(folder.identity());
    roots.push_back(std::move(folder));
  }
  // Without every source root every thumbnail would look like an orphan.
  if (!unopened.errors.empty()) return unopened;
  const FileIdentity output = request.output.folder->identity();
  if (contains(rootIdentities, output)) return {};
  TreePruner pruner(request, roots, std::move(rootIdentities), output);
  pruner.run();
  return std::move(pruner.result);
}

}  // namespace velmora
