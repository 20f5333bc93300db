#pragma once
// The hidden temporary files a thumbnail is written to before it takes its name, and the sweep
// of those that a killed run left behind.

#include <string>

namespace velmora {

// The folder part of a path: "." for a bare name, "/" for a file in the root.
std::string folderOf(const std::string& path);

// A fresh temporary path in the folder: ".velmora-<pid>-<counter>-<random>.tmp". Short and
// hidden: it must not end in .jpg or .jpeg (a folder listing would show it) and must stay
// within the name length limit however long the destination's own name is.
std::string temporaryPathIn(const std::string& folder);

// Removes the folder's regular files named as the program names its temporaries whose process
// no longer exists. Nothing else is touched; failures are ignored, since the sweep only tidies.
void sweepStaleTemporaries(const std::string& folder);

}  // namespace velmora
