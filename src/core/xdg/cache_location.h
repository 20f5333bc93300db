#pragma once
// Where the desktop's thumbnail cache lies, and where each entry of it goes.

#include <string>

#include "core/xdg/cache_sizes.h"

namespace velmora {

// $XDG_CACHE_HOME/thumbnails; ~/.cache/thumbnails when the variable is unset, blank or not an
// absolute path (the base directory rules call such a value invalid). The home folder is $HOME,
// or the user database's when that is unset or blank.
std::string thumbnailCacheFolder();

// <cache>/<size name>
std::string cacheSizeFolder(const std::string& cache, CacheSize size);

// <cache>/fail/velmora-<version>: the program's own record of the files it could not read.
std::string cacheFailFolder(const std::string& cache);

}  // namespace velmora
