#pragma once
// Filling the desktop's shared thumbnail cache: each source's entries for the sizes asked, made
// from one decode, or its failure entry when it cannot be read.

#include <string>
#include <vector>

#include "core/run/batch_runner.h"
#include "core/xdg/cache_sizes.h"

namespace velmora {

struct CacheFillSettings {
  std::vector<CacheSize> sizes;  // each once
  std::string cacheFolder;       // thumbnailCacheFolder(), or another for tests
};

// Makes the entries of every request's source (its destination is not used), in request order
// as runThumbnails does: one outcome each, whose log line names the entry of the first size
// (the others have the same name in their own folders), then one progress step. Folders and
// entries are created readable by their owner alone (the process's file-mode mask is 077
// while the run lasts); each entry is staged and renamed into place. A source that cannot be
// read gets a failure entry and fails as in runThumbnails; a success removes its old failure
// entry. A file named twice (however spelled) is made once, then skipped. With skipUpToDate,
// a source is skipped when each size's entry (or its failure entry) records its present
// modification time, and otherwise only the stale sizes are made.
void fillThumbnailCache(RequestSource& source, const CacheFillSettings& settings, LogSink& log,
                        ProgressSink& progress, const RunOptions& options);

}  // namespace velmora
