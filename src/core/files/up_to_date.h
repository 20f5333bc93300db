#pragma once
// Whether a thumbnail needs making again (--update).

#include <sys/stat.h>

#include <optional>
#include <string>

#include "core/files/directory_handle.h"

namespace velmora {

// A file as it is found now; nothing when it does not exist or cannot be looked at.
using FileStatus = std::optional<struct stat>;

// The file `name` of the held `folder`, links followed, in one look; with no folder, `name`
// is a path.
FileStatus fileStatusIn(const DirectoryHandle* folder, const std::string& name);

// The thumbnail is a file (links followed) whose modification time is not older than its
// source's.
bool thumbnailUpToDate(const FileStatus& source, const FileStatus& thumbnail);

}  // namespace velmora
