#pragma once
// Removing a thumbnail, or a folder left empty, from a tree that others may write: the entry is
// reached relative to its held folder, never through a link, and checked to be what it should
// be just before it goes.

#include <functional>
#include <string>

#include "core/files/directory_handle.h"
#include "core/files/source_file.h"

namespace velmora {

enum class JpegRemoval {
  Removed,   // it was a JPEG and is gone (or would be, in a check only)
  NotAJpeg,  // a link, a folder, another kind of file, one that does not start as a JPEG does,
             // one that cannot be read to tell, or one not wanted: left as it is
  Failed,    // a JPEG that could not be removed; errno is set
};

// Removes the folder's entry `name` when it is a regular file, not a link, whose bytes start
// with a JPEG's start-of-image marker and which `wanted` accepts, given the file opened: the
// file that goes is the one looked at. `checkOnly` decides without removing anything.
JpegRemoval removeJpegFile(const DirectoryHandle& folder, const std::string& name, bool checkOnly,
                           const std::function<bool(SourceFile)>& wanted);

// Removes the folder's sub-folder `name` when it is empty; a link or a folder holding anything
// stays. False, with errno set, when it stays.
bool removeEmptySubFolder(const DirectoryHandle& parent, const std::string& name);

}  // namespace velmora
