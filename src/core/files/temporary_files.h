#pragma once
// The hidden temporary files a thumbnail is written to before it takes its name, and the sweep
// of those that a killed run left behind.
//
// Many machines (and containers, each with its own process numbers) may write into one shared
// folder, so a temporary's name tells which system wrote it: ".velmora-<system>-<pid>-
// <counter>-<random>.tmp", where <system> is 16 hex digits hashed from the machine's identity,
// its boot and its process-number space. Only this system can tell whether a process of its own
// is gone; another system's temporaries are never touched.

#include <string>

#include "core/files/directory_handle.h"

namespace velmora {

// A fresh temporary name. Short and hidden: it must not end in .jpg or .jpeg (a folder listing
// would show it) and must stay within the name length limit however long the destination's own
// name is.
std::string temporaryName();

// Removes the folder's regular files named as this system names its temporaries whose process
// no longer exists. Nothing else is touched; failures are ignored, since the sweep only tidies.
void sweepStaleTemporaries(const DirectoryHandle& folder);

}  // namespace velmora
