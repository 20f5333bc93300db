#pragma once
// The hidden temporary files a thumbnail is written to before it takes its name, and the sweep
// of those that a killed run left behind.
//
// Many machines (and containers, each with its own process numbers) may write into one shared
// folder, so a temporary's name tells which system wrote it: ".velmora-<system>-<pid>-
// <counter>-<random>.tmp", where <system> is 24 hex digits, 8 for each of the machine, its
// boot and its process-number space. A run removes only what is surely dead: this machine's
// temporaries of an earlier boot, and those of its own boot and space whose process is gone.
// Another machine's or another space's are never touched.

#include <string>

#include "core/files/directory_handle.h"

namespace velmora {

// A fresh temporary name. Short and hidden: it must not end in .jpg or .jpeg (a folder listing
// would show it) and must stay within the name length limit however long the destination's own
// name is.
std::string temporaryName();

// Removes the folder's regular files named as the program names its temporaries whose writer is
// surely gone (see above). Nothing else is touched; failures are ignored, since the sweep only
// tidies.
void sweepStaleTemporaries(const DirectoryHandle& folder);

}  // namespace velmora
