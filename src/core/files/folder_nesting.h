#pragma once
// Whether one folder lies inside another on the disk, whatever their spellings.

#include <string>

namespace velmora {

// True when `tree` is a folder strictly below the existing folder `folder`, after resolving
// links and ".." in both. A mirror of the tree into such a folder could land on the tree's own
// pictures (photos/photos/a.jpg mirrored from photos into . gives photos/a.jpg).
bool folderHoldsTree(const std::string& folder, const std::string& tree);

}  // namespace velmora
