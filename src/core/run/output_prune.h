#pragma once
// Pruning a mirrored output tree after a run: the thumbnails whose source is gone go, and the
// mirrored folders they leave empty. One output tree per call.

#include <string>
#include <vector>

#include "core/files/destination_folders.h"
#include "core/rules/shard.h"
#include "core/rules/thumbnail_sizing.h"

namespace velmora {

struct PruneRequest {
  std::vector<std::string> sourceRoots;  // the trees the run walked, as given
  MirrorRoot output;                     // the tree they are mirrored into; none, nothing to do
  // The run's other output folders: the walk never entered them, and a tree inside this one
  // is not part of it.
  std::vector<FileIdentity> otherOutputs;
  Shard shard;          // only the orphans whose source would be this shard's
  bool dryRun = false;  // decide and list, remove nothing
  // The output's sizing: a JPEG of sides it never gives is the user's own, not an orphan.
  SizingRequest sizing;
};

struct PrunedPath {
  std::string path;  // the output root joined with the path below it
  bool folder = false;
};

struct PruneError {
  std::string path;
  int error = 0;  // the system's error number
};

struct PruneResult {
  std::vector<PrunedPath> pruned;  // in tree order, a folder after what it held
  std::vector<PruneError> errors;
};

// A file of the output tree is an orphan when it is a JPEG (its name matches the pattern the
// tree walk lists, its bytes start as a JPEG's do, and its sides are ones the output's sizing
// gives) and no source root holds a JPEG file of
// that name at that place, so no run would make it again. A folder whose place no source root
// has, holding JPEG files and such folders only, is the mirror of a deleted or renamed folder:
// its JPEGs are orphans too; holding anything else, it is the user's own and stays whole. A
// folder goes only when pruning left it empty. Left alone: hidden entries (temporaries, the
// user's own), links, anything that is not a JPEG, a source root or another output folder lying
// inside the output tree, and every place where a source folder could not be read, since its
// sources are then unknown. A source root that cannot be opened prunes nothing at all. However
// deep the tree, a few descriptors are held; a folder moved while the pruning is below it ends
// the pruning of this tree, with an error.
PruneResult pruneOutputTree(const PruneRequest& request);

}  // namespace velmora
